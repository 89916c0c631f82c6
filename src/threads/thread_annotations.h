// Annotations that let clang's -Wthread-safety check which lock guards which
// field and which functions take or need a lock. Other compilers ignore them.
#ifndef NOVEL_THREADS_THREAD_ANNOTATIONS_H_
#define NOVEL_THREADS_THREAD_ANNOTATIONS_H_

#if defined(__clang__)
#define NOVEL_THREAD_ANNOTATION(x) __attribute__((x))
#else
#define NOVEL_THREAD_ANNOTATION(x)
#endif

#define CAPABILITY(x) NOVEL_THREAD_ANNOTATION(capability(x))
#define SCOPED_CAPABILITY NOVEL_THREAD_ANNOTATION(scoped_lockable)
#define GUARDED_BY(x) NOVEL_THREAD_ANNOTATION(guarded_by(x))
#define REQUIRES(...) NOVEL_THREAD_ANNOTATION(requires_capability(__VA_ARGS__))
#define ACQUIRE(...) NOVEL_THREAD_ANNOTATION(acquire_capability(__VA_ARGS__))
#define RELEASE(...) NOVEL_THREAD_ANNOTATION(release_capability(__VA_ARGS__))
#define TRY_ACQUIRE(...) NOVEL_THREAD_ANNOTATION(try_acquire_capability(__VA_ARGS__))
#define EXCLUDES(...) NOVEL_THREAD_ANNOTATION(locks_excluded(__VA_ARGS__))

#endif  // NOVEL_THREADS_THREAD_ANNOTATIONS_H_
