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
#include <QStandardPaths>
#include <QStyledItemDelegate>
#include <QUrl>
#include <system_error>

#include "app/application.h"
#include "app/dialogs.h"
#include "app/selection_settings.h"
#include "app/ui_waker.h"
#include "common/scratch_file.h"
#include "common/site_lists.h"
#include "common/text_encoding.h"
#include "desktop/taskbar_progress.h"
#include "desktop/vista_alt_fix.h"
#include "refdb/reference_db.h"
#include "refdb/run_lock.h"
#include "refdb/table_builders.h"

namespace valmeric::app {
namespace {

namespace fs = std::filesystem;

// Posted by the window to itself once it is shown; the configuration check
// then runs from the event loop, after the window has appeared.
const QEvent::Type WM_CHECKCONFIG = static_cast<QEvent::Type>(QEvent::User + 100);

const char kDefaultFontFamily[] = "ＭＳ Ｐゴシック";
const char kFallbackFontFamily[] = "IPAPGothic";

QString Text(const std::string& utf8) {
  return QString::fromStdString(utf8);
}
QString Text(const char* utf8) {
  return QString::fromUtf8(utf8);
}

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

}  // namespace

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

TFrmMain::TFrmMain(Dialogs& dialogs, fs::path database_path, RunSettings settings, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      dialogs_(dialogs),
      database_path_(std::move(database_path)),
      categories_(CategoryNames()),
      prefectures_(PrefectureNames()),
      save_folder_(
          QFile::encodeName(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation))
              .toStdString()),
      waker_(new UiWaker([this] { Guarded([this] { controller_.Poll(); }); }, this)),
      controller_(*this, database_path_, std::move(settings), [waker = waker_] { waker->Wake(); }) {
  setObjectName(QStringLiteral("FrmMain"));
  CreateControls();
  FormCreate();
}

TFrmMain::~TFrmMain() {
  if (cursor_saved_) QApplication::restoreOverrideCursor();
}

void TFrmMain::CreateControls() {
  setWindowTitle(Text(msg::kApplicationTitle));
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

  connect(chkCtgr, &QCheckBox::clicked, this,
          [this](bool on) { Guarded([&] { chkCtgrClick(on); }); });
  connect(chkArea, &QCheckBox::clicked, this,
          [this](bool on) { Guarded([&] { chkAreaClick(on); }); });
  auto connect_list = [this](QListWidget* list, void (TFrmMain::*handler)(int, bool)) {
    // itemChanged also reports the model's own changes; those come with the
    // list's signals blocked, so only the user's toggles arrive here.
    connect(list, &QListWidget::itemChanged, this, [this, list, handler](QListWidgetItem* item) {
      Guarded([&] { (this->*handler)(list->row(item), item->checkState() == Qt::Checked); });
    });
  };
  connect_list(lstCtgr, &TFrmMain::lstCtgrClickCheck);
  connect_list(lstArea, &TFrmMain::lstAreaClickCheck);
  connect(btnAction, &QPushButton::clicked, this,
          [this] { Guarded([this] { btnActionClick(); }); });
  connect(btnCancel, &QPushButton::clicked, this,
          [this] { Guarded([this] { btnCancelClick(); }); });
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
    controller_.StartupCheck();
    return;
  }
  dialogs_.MessageBox(this, Text(msg::kConfigError), Text(msg::kConfigTitle), mb::kNotice);
  Terminate();
}

fs::path TFrmMain::settingsPath() const {
  return database_path_.parent_path() / kSettingsFileName;
}

void TFrmMain::LoadSettings() {
  LoadSelectionSettings(settingsPath(), categories_, prefectures_);
}

void TFrmMain::SaveSettings() {
  try {
    SaveSelectionSettings(settingsPath(), categories_, prefectures_);
  } catch (...) {
    // A settings file that cannot be written must not keep the window open.
  }
}

void TFrmMain::SetStatusText(const QString& text) {
  lblStatus->setText(text);
  // Sized to its text with the right edge kept at x = 304: longer texts grow to the left.
  const int width = lblStatus->sizeHint().width();
  lblStatus->setGeometry(304 - width, 275, width, lblStatus->sizeHint().height());
}

void TFrmMain::SetControlsEnabled(bool idle) {
  for (QWidget* control : {static_cast<QWidget*>(chkArea), static_cast<QWidget*>(chkCtgr),
                           static_cast<QWidget*>(lstArea), static_cast<QWidget*>(lstCtgr),
                           static_cast<QWidget*>(btnAction)}) {
    control->setEnabled(idle);
  }
  btnCancel->setEnabled(!idle);
}

// The run controller's view.

Selection TFrmMain::TickedSelection() {
  return {categories_.TickedCodes(), prefectures_.TickedCodes()};
}

void TFrmMain::RestoreSelection(const Selection& selection) {
  auto restore = [](SelectionGroup& group, const std::vector<int>& codes) {
    std::string ticks(static_cast<size_t>(group.Count()), '0');
    for (int code : codes) {
      if (code >= 1 && code <= group.Count()) ticks[static_cast<size_t>(code) - 1] = '1';
    }
    if (group.All()) group.SetAll(false);
    for (int i = 0; i < group.Count(); ++i) group.SetTick(i, false);
    ApplyTickText(group, ticks);
  };
  restore(categories_, selection.categories);
  restore(prefectures_, selection.prefectures);
}

int TFrmMain::ShowMessage(const UserMessage& message) {
  return dialogs_.MessageBox(this, Text(message.text), Text(message.title), message.style);
}

std::optional<std::string> TFrmMain::AskOutputFile(const std::string& initial_name) {
  OutputPath = Text(initial_name);
  const QString filter = Text(msg::kSaveFilterName) + " (" + Text(msg::kSaveFilterPattern) + ")";
  const QString folder = QFile::decodeName(QByteArray::fromStdString(save_folder_.Initial()));
  const auto chosen =
      dialogs_.SaveFileName(this, {Text(msg::kSaveTitle), filter, OutputPath, folder});
  if (!chosen) return std::nullopt;
  OutputPath = *chosen;
  const std::string path = QFile::encodeName(*chosen).toStdString();
  save_folder_.Chosen(path);
  return path;
}

void TFrmMain::ShowRunningLook() {
  OutputPath = QFile::decodeName(QByteArray::fromStdString(controller_.output_path()));
  if (!cursor_saved_) {
    QApplication::setOverrideCursor(Qt::BusyCursor);
    cursor_saved_ = true;
  }
  SetControlsEnabled(false);
  prgBar->setValue(0);
  prgBar->setVisible(true);
  QPalette palette = lblStatus->palette();
  palette.setColor(QPalette::WindowText, QApplication::palette().color(QPalette::WindowText));
  lblStatus->setPalette(palette);
  SetStatusText(Text(msg::kFetching));
  repaint();
}

void TFrmMain::RestoreCursor() {
  if (cursor_saved_) {
    QApplication::restoreOverrideCursor();
    cursor_saved_ = false;
  }
}

void TFrmMain::ShowIdleLook() {
  if (TaskbarReady) desktop::SetTaskbarProgressState(desktop::tbpsNone);
  SetStatusText(QString());
  prgBar->setValue(0);
  SetControlsEnabled(true);
}

void TFrmMain::InitProgress(int maximum) {
  prgBar->setValue(0);
  prgBar->setMinimum(0);
  prgBar->setMaximum(maximum);
}

void TFrmMain::SetProgress(int position) {
  prgBar->setValue(position);
  if (TaskbarReady) {
    desktop::SetTaskbarProgressValue(static_cast<std::uint64_t>(prgBar->value()),
                                     static_cast<std::uint64_t>(prgBar->maximum()));
  }
}

void TFrmMain::ShowStatus(const std::string& text) {
  SetStatusText(Text(text));
}

void TFrmMain::AlertRunDone() {
  QApplication::beep();
  QApplication::alert(this, 0);  // flashes until the window is brought forward
}

bool TFrmMain::OpenFile(const std::string& path) {
  return QDesktopServices::openUrl(
      QUrl::fromLocalFile(QFile::decodeName(QByteArray::fromStdString(path))));
}

void TFrmMain::Quit() {
  btnCancel->setEnabled(false);
  Terminate();
}

void TFrmMain::Terminate() {
  terminate_requested_ = true;
  hide();
  QCoreApplication::quit();
}

// Handlers.

void TFrmMain::btnActionClick() {
  controller_.ActionClick();
}

void TFrmMain::btnCancelClick() {
  controller_.CancelClick();
}

void TFrmMain::closeEvent(QCloseEvent* event) {
  bool may_close = false;
  Guarded([&] { may_close = controller_.CloseQuery(); });
  if (may_close) {
    event->accept();
  } else {
    event->ignore();
  }
}

BuilderSettings TFrmMain::BuilderSettingsFor(const ScratchFile& scratch) const {
  BuilderSettings settings;
  settings.download = controller_.settings().download;
  settings.scratch_path = scratch.path();
  return settings;
}

void TFrmMain::btnAreaClick() {
  RunLock lock(database_path_.string());
  ReferenceDb db(database_path_.string());
  const ScratchFile scratch(database_path_.parent_path().string());
  RebuildCities(db.db(), BuilderSettingsFor(scratch), [this](int prefecture) {
    SetStatusText(QString::fromStdString(SjisToUtf8(CityBuilderStatus(prefecture))));
    lblStatus->repaint();
    QCoreApplication::processEvents();
  });
  dialogs_.MessageBox(this, Text(msg::kBuilderDone), Text(msg::kApplicationTitle), mb::kOk);
}

void TFrmMain::btnCtgrClick() {
  RunLock lock(database_path_.string());
  ReferenceDb db(database_path_.string());
  const ScratchFile scratch(database_path_.parent_path().string());
  RebuildSubCategories(db.db(), BuilderSettingsFor(scratch));
  dialogs_.MessageBox(this, Text(msg::kBuilderDone), Text(msg::kApplicationTitle), mb::kOk);
}

}  // namespace valmeric::app
