#include "app/main_window.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QCursor>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QStyleFactory>
#include <QTableView>
#include <QTimer>
#include <utility>

#include "app/gbk_qt.h"
#include "app/list_commands.h"
#include "app/rows_table_model.h"
#include "app/window_defaults.h"

namespace {

// Often enough that rows appear as they arrive, rarely enough that a
// collection of thousands of chapters costs the GUI thread little.
constexpr int kSyncIntervalMs = 50;

template <typename Widget>
Widget* place(QWidget* parent, const char* name, int left, int top, int width, int height) {
  auto* widget = new Widget(parent);
  widget->setObjectName(QString::fromUtf8(name));
  widget->setGeometry(left, top, width, height);
  return widget;
}

QLabel* place_label(QWidget* parent, const char* name, const char* text, int left, int top,
                    int width, int height) {
  QLabel* label = place<QLabel>(parent, name, left, top, width, height);
  label->setText(QString::fromUtf8(text));
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  return label;
}

QTableView* place_list(QWidget* parent, const char* name, int left, int top, int width,
                       int height) {
  QTableView* view = place<QTableView>(parent, name, left, top, width, height);
  view->setShowGrid(true);
  view->setSelectionBehavior(QAbstractItemView::SelectRows);
  view->setSelectionMode(QAbstractItemView::SingleSelection);
  view->setSortingEnabled(false);
  view->setAutoScroll(false);
  view->setEditTriggers(QAbstractItemView::NoEditTriggers);
  view->setWordWrap(false);
  view->verticalHeader()->hide();
  view->verticalHeader()->setDefaultSectionSize(20);
  view->horizontalHeader()->setStretchLastSection(false);
  return view;
}

QMessageBox* open_message_box(QWidget* owner, const QString& title, const QString& text) {
  auto* box = new QMessageBox(QMessageBox::NoIcon, title, text, QMessageBox::Ok, owner);
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->setWindowModality(Qt::ApplicationModal);
  box->open();
  return box;
}

}  // namespace

MainWindow::MainWindow(ControlModel& controls, std::vector<int>& empty_chapter_rows,
                       WindowActions actions, QWidget* parent)
    : QWidget(parent),
      controls_(controls),
      empty_chapter_rows_(empty_chapter_rows),
      actions_(std::move(actions)) {
  setObjectName(QStringLiteral("窗口"));
  build_controls();
  sync_timer_ = new QTimer(this);
  connect(sync_timer_, &QTimer::timeout, this, &MainWindow::sync_from_model);
  sync_timer_->start(kSyncIntervalMs);
  handle_window_created();
  sync_from_model();
}

MainWindow::~MainWindow() = default;

void MainWindow::build_controls() {
  // The client area that a 1225 x 421 outer window with thin borders leaves.
  setFixedSize(1219, 395);
  move(50, 50);

  auto* group1 = place<QGroupBox>(this, "分组框1", 8, 0, 600, 384);
  group1->setTitle(QStringLiteral("章节匹配"));
  place_label(group1, "标签1", "目录地址：", 8, 16, 56, 24);
  catalogue_address_ = place<QLineEdit>(group1, "目录地址", 64, 16, 400, 24);
  buttons_[0] = place<QPushButton>(group1, "匹配按钮", 472, 16, 120, 40);
  buttons_[0]->setText(QStringLiteral("匹配"));
  place_label(group1, "标签2", "正则表达式匹配：\r\n", 8, 48, 96, 24);
  match_pattern_ = place<QLineEdit>(group1, "正则表达式匹配章节", 104, 48, 360, 24);
  count_label_ = place_label(group1, "匹配数量输出", "", 472, 56, 120, 24);
  views_[0] = place_list(group1, "匹配列表框", 8, 80, 584, 296);

  auto* group2 = place<QGroupBox>(this, "分组框2", 616, 0, 600, 384);
  group2->setTitle(QStringLiteral("采集区"));
  place_label(group2, "标签3", "正则过滤章节地址：\r\n", 8, 16, 104, 24);
  filter_pattern_ = place<QLineEdit>(group2, "过滤章节表达式", 112, 16, 312, 24);
  buttons_[1] = place<QPushButton>(group2, "采集按钮", 432, 16, 72, 40);
  buttons_[1]->setText(QStringLiteral("采集"));
  buttons_[2] = place<QPushButton>(group2, "输出TXT按钮", 512, 16, 80, 40);
  buttons_[2]->setText(QStringLiteral("输出TXT"));
  place_label(group2, "标签4", "线程数：", 8, 40, 48, 16);
  thread_count_ = place<QComboBox>(group2, "线程数组合框", 56, 40, 80, 20);
  thread_count_->setEditable(false);
  for (const char* count : kThreadCounts) thread_count_->addItem(QString::fromUtf8(count));
  progress_ = place<QProgressBar>(group2, "采集进度条", 144, 40, 280, 20);
  // The bar repaints with every batch of a collection. The default style
  // draws its moving stripes as line spans that Qt's raster engine spreads
  // over its painting threads, so each repaint waited for those threads to
  // get a processor among the busy chapter jobs; the plain style fills a few
  // small chunks on the GUI thread alone.
  if (QStyle* plain = QStyleFactory::create(QStringLiteral("Windows"))) {
    plain->setParent(progress_);
    progress_->setStyle(plain);
  }
  progress_->setRange(0, 1);
  progress_->setValue(0);
  progress_->setFormat(QString());
  views_[1] = place_list(group2, "章节内容列表框", 8, 64, 584, 312);
  views_[1]->setContextMenuPolicy(Qt::CustomContextMenu);

  const QString number_header = QStringLiteral("序号");
  rows_[0] =
      new RowsTableModel(controls_, false, number_header, QStringLiteral("匹配的章节地址"), this);
  rows_[1] = new RowsTableModel(controls_, true, number_header, QStringLiteral("章节内容"), this);
  for (int i = 0; i < 2; ++i) {
    views_[i]->setModel(rows_[i]);
    views_[i]->setColumnWidth(0, 50);
    views_[i]->setColumnWidth(1, 500);
  }

  menu_ = new QMenu(this);
  menu_->setObjectName(QStringLiteral("菜单"));
  QAction* select_all = menu_->addAction(QStringLiteral("全选"));
  select_all->setObjectName(QStringLiteral("全选"));
  QAction* invert = menu_->addAction(QStringLiteral("反选"));
  invert->setObjectName(QStringLiteral("反选"));
  QAction* find_empty = menu_->addAction(QStringLiteral("检查"));
  find_empty->setObjectName(QStringLiteral("检查"));

  // The edit boxes start with what the model holds, then write every change back.
  catalogue_address_->setText(from_gbk(controls_.edit_text(EditBox::kCatalogueAddress)));
  match_pattern_->setText(from_gbk(controls_.edit_text(EditBox::kMatchPattern)));
  filter_pattern_->setText(from_gbk(controls_.edit_text(EditBox::kFilterPattern)));
  const std::pair<QLineEdit*, EditBox> edits[] = {{catalogue_address_, EditBox::kCatalogueAddress},
                                                  {match_pattern_, EditBox::kMatchPattern},
                                                  {filter_pattern_, EditBox::kFilterPattern}};
  for (auto [edit, box] : edits) {
    connect(edit, &QLineEdit::textChanged, this,
            [this, box = box](const QString& text) { controls_.set_edit_text(box, to_gbk(text)); });
  }
  connect(thread_count_, &QComboBox::currentTextChanged, this,
          [this](const QString& text) { controls_.set_thread_count_text(to_gbk(text)); });

  connect(buttons_[0], &QPushButton::clicked, this, &MainWindow::handle_match_button);
  connect(buttons_[1], &QPushButton::clicked, this, &MainWindow::handle_collect_button);
  connect(buttons_[2], &QPushButton::clicked, this, &MainWindow::handle_export_button);
  connect(views_[1], &QWidget::customContextMenuRequested, this,
          &MainWindow::handle_content_list_right_click);
  connect(select_all, &QAction::triggered, this, &MainWindow::handle_select_all);
  connect(invert, &QAction::triggered, this, &MainWindow::handle_invert_checks);
  connect(find_empty, &QAction::triggered, this, &MainWindow::handle_find_empty);
}

void MainWindow::handle_window_created() {
  controls_.set_caption(to_gbk(QString::fromUtf8(kWindowCaption)));
  thread_count_->setCurrentIndex(kDefaultThreadCountIndex);
}

void MainWindow::disable_buttons(std::initializer_list<Button> buttons) {
  // Disabled in the model and on screen at once, so a second click that is
  // already queued finds the button disabled and cannot start a second worker.
  for (Button button : buttons) {
    controls_.set_button_enabled(button, false);
    buttons_[static_cast<int>(button)]->setEnabled(false);
  }
}

void MainWindow::handle_match_button() {
  if (!buttons_[0]->isEnabled()) return;
  disable_buttons({Button::kMatch, Button::kCollect, Button::kExport});
  actions_.start_match();
}

void MainWindow::handle_collect_button() {
  if (!buttons_[1]->isEnabled()) return;
  disable_buttons({Button::kMatch, Button::kCollect, Button::kExport});
  actions_.start_collect();
}

void MainWindow::handle_export_button() {
  if (!buttons_[2]->isEnabled()) return;
  disable_buttons({Button::kExport});
  actions_.start_export();
}

void MainWindow::handle_content_list_right_click() { menu_->popup(QCursor::pos()); }

void MainWindow::handle_select_all() {
  ::handle_select_all(controls_);
  sync_from_model();
}

void MainWindow::handle_invert_checks() {
  ::handle_invert_checks(controls_);
  sync_from_model();
}

void MainWindow::handle_find_empty() {
  find_empty_chapters(controls_, empty_chapter_rows_);
  QString text = QStringLiteral("找到%1个空章节！").arg(empty_chapter_rows_.size());
  QMessageBox* box = open_message_box(this, QStringLiteral("找到空章节"), text);
  connect(box, &QMessageBox::finished, this, [this] {
    if (empty_chapter_rows_.empty()) return;
    controls_.select_row(ListView::kContentList, empty_chapter_rows_.front());
    sync_from_model();
  });
}

void MainWindow::apply_buttons(const std::array<bool, 3>& enabled) {
  for (int i = 0; i < 3; ++i) buttons_[i]->setEnabled(enabled[i]);
}

void MainWindow::show_progress(const CollectProgress& progress) {
  progress_->setRange(0, std::max(progress.total, 1));
  progress_->setValue(std::min(progress.finished, std::max(progress.total, 1)));
  progress_->setFormat(QStringLiteral("%1/%2 章  空 %3")
                           .arg(progress.finished)
                           .arg(progress.total)
                           .arg(progress.empty));
}

void MainWindow::show_worker_message(const MessageRequest& request) {
  QMessageBox* box = open_message_box(this, from_gbk(request.title), from_gbk(request.text));
  connect(box, &QMessageBox::finished, this,
          [this, id = request.id] { controls_.answer_message(id); });
}

void MainWindow::sync_from_model() {
  ControlChanges changes = controls_.take_changes();
  if (changes.caption) setWindowTitle(from_gbk(*changes.caption));
  if (changes.count_label) count_label_->setText(from_gbk(*changes.count_label));
  if (changes.buttons) apply_buttons(*changes.buttons);
  for (int i = 0; i < 2; ++i) rows_[i]->apply(changes.lists[i]);
  if (changes.selection) {
    QTableView* view = views_[static_cast<int>(changes.selection->list)];
    QModelIndex index = view->model()->index(changes.selection->row, 0);
    if (index.isValid()) {
      view->selectionModel()->setCurrentIndex(
          index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
      view->setFocus();
    }
  }
  if (changes.progress) show_progress(*changes.progress);
  for (const MessageRequest& request : changes.messages) show_worker_message(request);
}

void MainWindow::closeEvent(QCloseEvent* event) {
  // Workers may still run; from here on nothing they do waits for this window.
  controls_.close();
  sync_timer_->stop();
  event->accept();
}
