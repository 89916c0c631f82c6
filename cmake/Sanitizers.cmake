# Builds the whole tree with the sanitizers named in NOVEL_SANITIZE.
if(NOVEL_SANITIZE)
  add_compile_options(-fsanitize=${NOVEL_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${NOVEL_SANITIZE})
endif()
