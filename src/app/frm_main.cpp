#include "app/frm_main.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QUrl>
#include <system_error>

#include "app/application.h"
#include "app/dialogs.h"
#include "app/scratch_name.h"
#include "app/selection_settings.h"
#include "common/site_lists.h"
#include "common/text_encoding.h"
#include "desktop/taskbar_progress.h"
#include "desktop/vista_alt_fix.h"
#include "engine/output_file_name.h"
#include "refdb/table_builders.h"

namespace valmeric::app {
namespace {

namespace fs = std::filesystem;

// Posted by the window to itself once it is shown; the configuration check
// then runs from the event loop, after the window has appeared.
const QEvent::Type WM_CHECKCONFIG = static_cast<QEvent::Type>(QEvent::User + 100);

const char kCaption[] = "Valmeric";
const char kDefaultFontFamily[] = "ＭＳ Ｐゴシック";
const char kFallbackFontFamily[] = "IPAPGothic";
const char kDefaultOutputName[] = "病院施設一覧.csv";
const char kSaveTitle[] = "取得情報の保存先を指定してください";
const char kSaveFilter[] = "CSVファイル (*.csv)";

const char kNoCategory[] = "診療科目は１つ以上を選択してください。";
const char kNoPrefecture[] = "都道府県は１つ以上を選択してください。";
const char kFileInUse[] = "選択されたファイルが他のアプリケーションで使用中の為\n開くことができませんでした。";
const char kFetching[] = "ページ情報を取得中です。しばらくお待ちください。";
const char kCancelQuestion[] = "取得処理を中断します。\nよろしいですか？";
const char kCancelTitle[] = "中断確認";
const char kCloseQuestion[] = "取得処理の実行中ですが終了しますか？";
const char kCloseTitle[] = "終了確認";
const char kDoneQuestion[] = "事業所情報の取得が完了しました。\n保存したファイルを開きますか？";
const char kDoneTitle[] = "処理確認";
const char kFileGone[] = "該当するファイルが見つかりませんでした。";
const char kNothingFound[] = "該当する事業所情報は見つかりませんでした。";
const char kNothingTitle[] = "検索終了";
const char kUnreachable[] =
    "サイトへのアクセスができませんでした。\r\nしばらく時間を置いてから再度実行してください。";
const char kConfigError[] = "DBファイルの設定が正しくありません。\n管理者に確認してください。";
const char kConfigTitle[] = "設定エラー";
const char kErrorTitle[] = "Error";
const char kBuilderDone[] = "終了";

QString Text(const char* utf8) { return QString::fromUtf8(utf8); }

QFont WindowFont(int pixel_size) {
  QFont font;
  font.setFamilies({Text(kDefaultFontFamily), Text(kFallbackFontFamily)});
  font.setPixelSize(pixel_size);
  return font;
}

// Rows of a fixed height, drawn as the list draws them by default.
class FixedRowDelegate final : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    return {QStyledItemDelegate::sizeHint(option, index).width(), 16};
  }
};

std::string LocalPath(const QString& path) { return QFile::encodeName(path).toStdString(); }

}  // namespace

// The window's side of one run. The worker holds it as its owner; it stays
// with the window until the worker has made its last call, even after the
// window has let go of the run.
class TFrmMain::RunBridge final : public RunOwner {
 public:
  RunBridge(TFrmMain& form, std::string scratch_name)
      : form_(form), scratch_name_(std::move(scratch_name)) {}

  void Synchronize(const std::function<void()>& fn) override {
    form_.gate_.Call([&] {
      // Running goes false just before the worker's last call.
      if (!signals->running) ended = true;
      fn();
    });
  }
  Selection CurrentSelection() override {
    return {form_.categories_.TickedCodes(), form_.prefectures_.TickedCodes()};
  }
  Database& RunDatabase() override {
    // A run let go of must not touch the tables a newer run uses.
    if (forgotten) throw std::runtime_error("the run was cancelled");
    return form_.Db();
  }
  void InitProgress(int maximum) override {
    if (!forgotten) form_.InitProgress(maximum);
  }
  void StepProgress() override {
    if (!forgotten) form_.StepProgress();
  }
  void ShowStatus(const std::string& sjis_text) override {
    if (!forgotten) form_.SetStatusText(QString::fromStdString(SjisToUtf8(sjis_text)));
  }
  void RunEnded() override {
    ended = true;
    if (!forgotten) form_.Guarded([this] { form_.btnCancelClick(); });
  }

  const std::string& scratch_name() const { return scratch_name_; }

  std::shared_ptr<TMyThread> worker;
  std::shared_ptr<RunSignals> signals;
  bool forgotten = false;  // UI thread only
  bool ended = false;      // UI thread only: the worker has made its last call

 private:
  TFrmMain& form_;
  const std::string scratch_name_;
};

template <typename Fn>
void TFrmMain::Guarded(Fn&& fn) {
  try {
    fn();
  } catch (const std::exception& error) {
    ShowDefaultError(dialogs_, QString::fromUtf8(error.what()));
  } catch (...) {
    ShowDefaultError(dialogs_, QString());
  }
}

TFrmMain::TFrmMain(Dialogs& dialogs, fs::path database_path, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      dialogs_(dialogs),
      database_path_(std::move(database_path)),
      categories_(CategoryNames()),
      prefectures_(PrefectureNames()) {
  setObjectName(QStringLiteral("FrmMain"));
  CreateControls();
  FormCreate();
}

TFrmMain::~TFrmMain() {
  // The workers hold this window as their owner, so none may outlive it:
  // calls still on their way fail, and each worker stops after its entry.
  gate_.Close();
  for (const auto& run : runs_) run->worker->Terminate();
  for (const auto& run : runs_) run->worker->WaitFor();
  if (cursor_saved_) QApplication::restoreOverrideCursor();
}

void TFrmMain::CreateControls() {
  setWindowTitle(Text(kCaption));
  setFixedSize(316, 303);
  move(0, 0);
  setFont(WindowFont(12));
  setBackgroundRole(QPalette::Button);
  setAutoFillBackground(true);

  auto make_list = [this](const char* name, const QRect& geometry) {
    auto* list = new QListWidget(this);
    list->setObjectName(Text(name));
    list->setGeometry(geometry);
    list->setFont(WindowFont(13));
    list->setUniformItemSizes(true);
    list->setItemDelegate(new FixedRowDelegate(list));
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setAttribute(Qt::WA_InputMethodEnabled, false);  // keep the input method closed
    return list;
  };
  auto make_check = [this](const char* name, const QRect& geometry, const char* text) {
    auto* box = new QCheckBox(Text(text), this);
    box->setObjectName(Text(name));
    box->setGeometry(geometry);
    box->setTristate(false);
    return box;
  };
  auto make_button = [this](const char* name, const QRect& geometry, const char* text) {
    auto* button = new QPushButton(Text(text), this);
    button->setObjectName(Text(name));
    button->setGeometry(geometry);
    button->setAutoDefault(false);
    return button;
  };

  chkCtgr = make_check("chkCtgr", {11, 8, 119, 17}, " 診療科目の選択 : ");
  lstCtgr = make_list("lstCtgr", {8, 28, 145, 164});
  chkArea = make_check("chkArea", {165, 8, 119, 17}, " 都道府県の選択 : ");
  lstArea = make_list("lstArea", {162, 28, 145, 244});
  btnAction = make_button("btnAction", {8, 202, 145, 32}, "取得開始 (&R)");
  btnCancel = make_button("btnCancel", {8, 236, 145, 32}, "キャンセル (&C)");
  btnCancel->setEnabled(false);

  prgBar = new QProgressBar(this);
  prgBar->setObjectName(QStringLiteral("prgBar"));
  prgBar->setGeometry(0, 288, 316, 15);  // along the bottom edge
  prgBar->setTextVisible(false);
  prgBar->setRange(0, 100);
  prgBar->setValue(0);

  btnArea = make_button("btnArea", {238, -10, 30, 20}, "地域");
  btnCtgr = make_button("btnCtgr", {269, -10, 30, 20}, "科目");
  for (QPushButton* hidden : {btnArea, btnCtgr}) {
    hidden->setEnabled(false);
    hidden->setVisible(false);
  }

  lblStatus = new QLabel(this);
  lblStatus->setObjectName(QStringLiteral("lblStatus"));
  lblStatus->setFocusPolicy(Qt::NoFocus);
  lblStatus->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  lblStatus->setGeometry(288, 275, 16, 12);
  SetStatusText(QString(2, QChar(0x3000)));

  QWidget* order[] = {chkCtgr, lstCtgr, chkArea, lstArea, btnAction, btnCancel, btnArea, btnCtgr};
  for (size_t i = 0; i + 1 < std::size(order); ++i) setTabOrder(order[i], order[i + 1]);
  prgBar->setFocusPolicy(Qt::NoFocus);

  BindGroup(categories_, chkCtgr, lstCtgr);
  BindGroup(prefectures_, chkArea, lstArea);

  connect(chkCtgr, &QCheckBox::clicked, this, [this](bool on) { Guarded([&] { chkCtgrClick(on); }); });
  connect(chkArea, &QCheckBox::clicked, this, [this](bool on) { Guarded([&] { chkAreaClick(on); }); });
  auto connect_list = [this](QListWidget* list, void (TFrmMain::*handler)(int, bool)) {
    // itemChanged also reports the model's own changes; those come with the
    // list's signals blocked, so only the user's toggles arrive here.
    connect(list, &QListWidget::itemChanged, this, [this, list, handler](QListWidgetItem* item) {
      Guarded([&] { (this->*handler)(list->row(item), item->checkState() == Qt::Checked); });
    });
  };
  connect_list(lstCtgr, &TFrmMain::lstCtgrClickCheck);
  connect_list(lstArea, &TFrmMain::lstAreaClickCheck);
  connect(btnAction, &QPushButton::clicked, this, [this] { Guarded([this] { btnActionClick(); }); });
  connect(btnCancel, &QPushButton::clicked, this, [this] { Guarded([this] { btnCancelClick(); }); });
  connect(btnArea, &QPushButton::clicked, this, [this] { Guarded([this] { btnAreaClick(); }); });
  connect(btnCtgr, &QPushButton::clicked, this, [this] { Guarded([this] { btnCtgrClick(); }); });
}

void TFrmMain::BindGroup(SelectionGroup& group, QCheckBox* all_box, QListWidget* list) {
  for (int i = 0; i < group.Count(); ++i) {
    auto* item = new QListWidgetItem(QString::fromStdString(SjisToUtf8(group.Item(i))), list);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    item->setCheckState(Qt::Unchecked);
  }
  SelectionGroup::View view;
  view.show_tick = [list](int index, bool ticked) {
    const QSignalBlocker quiet(list);
    list->item(index)->setCheckState(ticked ? Qt::Checked : Qt::Unchecked);
    list->viewport()->update();
  };
  view.show_all = [all_box](bool all) {
    const QSignalBlocker quiet(all_box);  // clicked is not emitted by setChecked either
    all_box->setChecked(all);
  };
  view.show_current = [list](int row) { list->setCurrentRow(row); };
  view.show_enabled = [all_box, list](bool enabled) {
    all_box->setEnabled(enabled);
    list->setEnabled(enabled);
  };
  view.focus_list = [list] { list->setFocus(Qt::OtherFocusReason); };
  group.Bind(std::move(view));
}

void TFrmMain::FormCreate() {
  altFix_ = new desktop::TVistaAltFix(this);
  TaskbarReady = false;
  DbReady = false;
  TaskbarReady = desktop::InitializeTaskbarAPI();
  std::error_code error;
  if (fs::is_regular_file(database_path_, error)) DbReady = true;  // opened by the first query
}

void TFrmMain::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (!event->spontaneous()) QCoreApplication::postEvent(this, new QEvent(WM_CHECKCONFIG));
}

bool TFrmMain::event(QEvent* event) {
  if (event->type() == WM_CHECKCONFIG) {
    Guarded([this] { CheckConfig(); });
    return true;
  }
  return QWidget::event(event);
}

void TFrmMain::CheckConfig() {
  if (DbReady) {
    LoadSettings();
    return;
  }
  dialogs_.MessageBox(this, Text(kConfigError), Text(kConfigTitle), mb::kNotice);
  Terminate();
}

fs::path TFrmMain::settingsPath() const { return database_path_.parent_path() / kSettingsFileName; }

void TFrmMain::LoadSettings() { LoadSelectionSettings(settingsPath(), categories_, prefectures_); }

void TFrmMain::SaveSettingsQuietly() {
  try {
    SaveSelectionSettings(settingsPath(), categories_, prefectures_);
  } catch (...) {
    // A settings file that cannot be written must not keep the window open.
  }
}

Database& TFrmMain::Db() {
  if (!db_) db_.emplace(database_path_.string());
  return db_->db();
}

std::string TFrmMain::currentScratchPath() const {
  if (current_ == nullptr) return {};
  return (database_path_.parent_path() / current_->scratch_name()).string();
}

int TFrmMain::runsStillCalling() const {
  int count = 0;
  for (const auto& run : runs_) count += run->ended ? 0 : 1;
  return count;
}

bool TFrmMain::Running() const { return current_ != nullptr && !current_->ended; }

int TFrmMain::ResultCode() const { return current_ != nullptr ? current_->signals->result_code.load() : 0; }

void TFrmMain::SetStatusText(const QString& text) {
  lblStatus->setText(text);
  // Sized to its text with the right edge kept at x = 304: longer texts grow to the left.
  const int width = lblStatus->sizeHint().width();
  lblStatus->setGeometry(304 - width, 275, width, lblStatus->sizeHint().height());
}

void TFrmMain::SetRunningLook(bool running) {
  for (QWidget* control : {static_cast<QWidget*>(chkArea), static_cast<QWidget*>(chkCtgr),
                           static_cast<QWidget*>(lstArea), static_cast<QWidget*>(lstCtgr),
                           static_cast<QWidget*>(btnAction)}) {
    control->setEnabled(!running);
  }
  btnCancel->setEnabled(running);
}

void TFrmMain::InitProgress(int maximum) {
  prgBar->setValue(0);
  prgBar->setMinimum(0);
  prgBar->setMaximum(maximum);
}

void TFrmMain::StepProgress() {
  prgBar->setValue(prgBar->value() + 1);
  if (TaskbarReady) {
    desktop::SetTaskbarProgressValue(static_cast<std::uint64_t>(prgBar->value()),
                                     static_cast<std::uint64_t>(prgBar->maximum()));
  }
}

void TFrmMain::btnActionClick() {
  if (categories_.FirstTicked() < 0) {
    dialogs_.MessageBox(this, Text(kNoCategory), Text(kErrorTitle), mb::kNotice);
    return;
  }
  if (prefectures_.FirstTicked() < 0) {
    dialogs_.MessageBox(this, Text(kNoPrefecture), Text(kErrorTitle), mb::kNotice);
    return;
  }
  OutputPath = Text(kDefaultOutputName);
  const auto chosen = dialogs_.SaveFileName(this, {Text(kSaveTitle), Text(kSaveFilter), OutputPath});
  if (!chosen) return;
  OutputPath = *chosen;
  OutputPath = QFile::decodeName(QByteArray::fromStdString(WithCsvExtension(LocalPath(OutputPath))));
  if (!DeleteExistingOutput(LocalPath(OutputPath))) {
    dialogs_.MessageBox(this, Text(kFileInUse), Text(kErrorTitle), mb::kNotice);
    return;
  }

  RunState = kRunStarted;
  current_ = nullptr;  // the outcome shown next is this run's
  ReapEndedRuns();
  if (!cursor_saved_) {
    QApplication::setOverrideCursor(Qt::BusyCursor);
    cursor_saved_ = true;
  }
  SetRunningLook(true);
  prgBar->setValue(0);
  prgBar->setVisible(true);
  QPalette palette = lblStatus->palette();
  palette.setColor(QPalette::WindowText, QApplication::palette().color(QPalette::WindowText));
  lblStatus->setPalette(palette);
  SetStatusText(Text(kFetching));
  repaint();

  // Another program's run on the same database would share the duplicate table.
  if (!run_lock_) run_lock_.emplace(database_path_.string());
  Db();
  db_->ClearSeenCodes();

  if (Worker != nullptr) return;
  std::vector<std::string> in_use;
  for (const auto& run : runs_) {
    if (!run->ended) in_use.push_back(run->scratch_name());
  }
  auto bridge = std::make_unique<RunBridge>(*this, FreeScratchName(in_use));
  RunConfig config;
  config.output_path = LocalPath(OutputPath);
  config.scratch_path = (database_path_.parent_path() / bridge->scratch_name()).string();
  config.download.origin = tuning_.origin;
  config.download.ca_file = tuning_.ca_file;
  config.retry = tuning_.retry;
  config.page_pause = tuning_.page_pause;
  config.max_failed_entries_in_row = tuning_.max_failed_entries_in_row;
  bridge->worker = TMyThread::Create(*bridge, std::move(config));
  bridge->signals = bridge->worker->signals();
  Worker = bridge->worker;
  current_ = bridge.get();
  runs_.push_back(std::move(bridge));
  Worker->Resume();
}

void TFrmMain::btnCancelClick() {
  const bool running = Running();
  if (RunState == kRunStarted && running) {
    if (dialogs_.MessageBox(this, Text(kCancelQuestion), Text(kCancelTitle), mb::kConfirm) == kIdYes) {
      RunState = kRunCancelled;
      if (Worker != nullptr) Worker->Terminate();
    }
  } else if (RunState == kRunStarted) {
    Worker = nullptr;
    const int code = ResultCode();
    if (code == kNothingWritten) {
      RunState = kRunNothing;
    } else if (code == valmeric::kRunFailed) {
      RunState = kRunFailed;
    } else if (code == valmeric::kSiteUnreachable) {
      RunState = kSiteUnreachable;
    }
    FinishRun(RunState);
  } else if (RunState == kCloseConfirmed && running) {
    if (Worker != nullptr) Worker->Terminate();
    RunState = kClosing;
  } else if (running) {
    // Pressed again while the worker is still stopping: let it go.
    ForgetWorker();
    FinishRun(RunState);
  } else {
    Worker = nullptr;
    FinishRun(RunState);
  }
}

void TFrmMain::ForgetWorker() {
  if (current_ != nullptr) {
    current_->forgotten = true;
    current_->worker->Forget();
    current_ = nullptr;
  }
  Worker = nullptr;
}

void TFrmMain::closeEvent(QCloseEvent* event) {
  Guarded([&] {
    if (!btnCancel->isEnabled()) {
      SaveSettingsQuietly();
      event->accept();
      return;
    }
    event->ignore();
    if (dialogs_.MessageBox(this, Text(kCloseQuestion), Text(kCloseTitle), mb::kConfirm) == kIdYes) {
      RunState = RunState == kCloseConfirmed ? kClosing : kCloseConfirmed;
      btnCancelClick();  // as a click on the cancel button would
    }
  });
}

void TFrmMain::FinishRun(int state) {
  if (cursor_saved_) {
    QApplication::restoreOverrideCursor();
    cursor_saved_ = false;
  }
  switch (state) {
    case kRunStarted:
      QApplication::beep();
      QApplication::alert(this, 0);  // flashes until the window is brought forward
      if (dialogs_.MessageBox(this, Text(kDoneQuestion), Text(kDoneTitle), mb::kConfirmDefaultNo) == kIdYes) {
        std::error_code error;
        if (fs::exists(LocalPath(OutputPath), error)) {
          QDesktopServices::openUrl(QUrl::fromLocalFile(OutputPath));
        } else {
          dialogs_.MessageBox(this, Text(kFileGone), Text(kErrorTitle), mb::kNotice);
        }
      }
      break;
    case kRunNothing:
      dialogs_.MessageBox(this, Text(kNothingFound), Text(kNothingTitle), mb::kNotice);
      break;
    case kCloseConfirmed:
    case kClosing:
      btnCancel->setEnabled(false);
      SaveSettingsQuietly();
      Terminate();
      return;
    case kRunFailed: {
      // The run stopped on a local fault (the output file or the database);
      // say what it was rather than offer a file that is not complete.
      const QString message = current_ != nullptr
                                  ? QString::fromStdString(current_->signals->failure().message)
                                  : QString();
      dialogs_.MessageBox(this, message, Text(kErrorTitle), mb::kNotice);
      break;
    }
    case kSiteUnreachable:
      dialogs_.MessageBox(this, Text(kUnreachable), Text(kErrorTitle), mb::kNotice);
      break;
    default:
      break;  // cancelled: no message
  }
  if (TaskbarReady) desktop::SetTaskbarProgressState(desktop::tbpsNone);
  SetStatusText(QString());
  prgBar->setValue(0);
  SetRunningLook(false);
  ReleaseRunLockWhenIdle();
}

void TFrmMain::Terminate() {
  terminate_requested_ = true;
  hide();
  QCoreApplication::quit();
}

void TFrmMain::ReapEndedRuns() {
  for (auto it = runs_.begin(); it != runs_.end();) {
    if ((*it)->ended && it->get() != current_) {
      (*it)->worker->WaitFor();  // past its last call: only the thread's end is left
      it = runs_.erase(it);
    } else {
      ++it;
    }
  }
}

void TFrmMain::ReleaseRunLockWhenIdle() {
  for (const auto& run : runs_) {
    if (!run->ended) return;  // a worker let go of still runs
  }
  run_lock_.reset();
}

void TFrmMain::btnAreaClick() {
  BuilderSettings settings;
  settings.download.origin = tuning_.origin;
  settings.download.ca_file = tuning_.ca_file;
  settings.scratch_path = (database_path_.parent_path().parent_path() / "tmp.dat").string();
  RebuildCities(Db(), settings, [this](int prefecture) {
    SetStatusText(QString::fromStdString(SjisToUtf8(CityBuilderStatus(prefecture))));
    lblStatus->repaint();
    QCoreApplication::processEvents();
  });
  dialogs_.MessageBox(this, Text(kBuilderDone), Text(kCaption), mb::kOk);
}

void TFrmMain::btnCtgrClick() {
  BuilderSettings settings;
  settings.download.origin = tuning_.origin;
  settings.download.ca_file = tuning_.ca_file;
  settings.scratch_path = (database_path_.parent_path().parent_path() / "tmp.dat").string();
  RebuildSubCategories(Db(), settings);
  dialogs_.MessageBox(this, Text(kBuilderDone), Text(kCaption), mb::kOk);
}

}  // namespace valmeric::app
