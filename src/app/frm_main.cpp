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

#include "app/application.h"
#include "app/dialogs.h"
#include "app/ui_waker.h"
#include "common/platform/utf8_path.h"
#include "common/text/text_encoding.h"
#include "desktop/taskbar_progress.h"
#include "window_model/guarded_call.h"
#include "window_model/layout.h"

namespace valmeric::app {
namespace {

namespace fs = std::filesystem;
namespace wm = window_model;

const QEvent::Type WM_CHECKCONFIG =
    static_cast<QEvent::Type>(QEvent::User + wm::kCheckConfigOffset);

// Where the Japanese Windows font is missing.
const char kFallbackFontFamily[] = "IPAPGothic";

QString Text(const std::string& utf8) {
  return QString::fromStdString(utf8);
}
QString Text(const char* utf8) {
  return QString::fromUtf8(utf8);
}

QRect Rect(const wm::ControlRect& rect) {
  return {rect.left, rect.top, rect.width, rect.height};
}

QFont WindowFont(int pixel_size) {
  QFont font;
  font.setFamilies({Text(wm::kFontFace), Text(kFallbackFontFamily)});
  font.setPixelSize(pixel_size);
  return font;
}

// Rows of a fixed height, drawn as the list draws them by default.
class FixedRowDelegate final : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    return {QStyledItemDelegate::sizeHint(option, index).width(), wm::kListRowHeight};
  }
};

}  // namespace

template <typename Fn>
void TFrmMain::Guarded(Fn&& fn) {
  wm::GuardedCall(std::forward<Fn>(fn), [this](const std::string& message) {
    ShowDefaultError(dialogs_, QString::fromStdString(message));
  });
}

TFrmMain::TFrmMain(Dialogs& dialogs, fs::path database_path, RunSettings settings, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      dialogs_(dialogs),
      model_(std::move(database_path)),
      save_folder_(PathFromUtf8(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)
                                    .toUtf8()
                                    .toStdString())),
      waker_(new UiWaker([this] { Guarded([this] { controller_.Poll(); }); }, this)),
      rebuild_waker_(new UiWaker([this] { Guarded([this] { rebuilder_.Poll(); }); }, this)),
      controller_(*this, model_.database_path(), std::move(settings),
                  [waker = waker_] { waker->Wake(); }),
      rebuilder_(model_.database_path(), controller_.settings().download,
                 [waker = rebuild_waker_] { waker->Wake(); }) {
  setObjectName(QStringLiteral("FrmMain"));
  CreateControls();
  BindRebuilder();
  FormCreate();
}

TFrmMain::~TFrmMain() {
  if (cursor_saved_) QApplication::restoreOverrideCursor();
}

void TFrmMain::CreateControls() {
  setWindowTitle(Text(msg::kApplicationTitle));
  setFixedSize(wm::kClientWidth, wm::kClientHeight);
  move(0, 0);
  setFont(WindowFont(-wm::kWindowFontHeight));
  setBackgroundRole(QPalette::Button);
  setAutoFillBackground(true);

  std::vector<QWidget*> tab_order;
  for (const wm::ControlSpec& spec : wm::kControls) {
    QWidget* control = nullptr;
    switch (spec.kind) {
      case wm::ControlKind::kCheckBox: {
        auto* box = new QCheckBox(Text(spec.caption), this);
        box->setTristate(false);
        control = box;
        break;
      }
      case wm::ControlKind::kCheckList: {
        auto* list = new QListWidget(this);
        list->setFont(WindowFont(-wm::kListFontHeight));
        list->setUniformItemSizes(true);
        list->setItemDelegate(new FixedRowDelegate(list));
        list->setSelectionMode(QAbstractItemView::SingleSelection);
        list->setAttribute(Qt::WA_InputMethodEnabled, false);  // keep the input method closed
        control = list;
        break;
      }
      case wm::ControlKind::kButton: {
        auto* button = new QPushButton(Text(spec.caption), this);
        button->setAutoDefault(false);
        control = button;
        break;
      }
      case wm::ControlKind::kProgressBar: {
        auto* bar = new QProgressBar(this);
        bar->setTextVisible(false);
        bar->setRange(0, 100);
        bar->setValue(0);
        bar->setFocusPolicy(Qt::NoFocus);
        control = bar;
        break;
      }
      case wm::ControlKind::kLabel: {
        auto* label = new QLabel(this);
        label->setFocusPolicy(Qt::NoFocus);
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        control = label;
        break;
      }
    }
    control->setObjectName(Text(spec.name));
    control->setGeometry(Rect(spec.rect));
    control->setEnabled(spec.enabled);
    if (!spec.shown) control->setVisible(false);
    if (control->focusPolicy() != Qt::NoFocus) tab_order.push_back(control);
  }
  chkCtgr = findChild<QCheckBox*>(Text(wm::Control(wm::kChkCtgr).name));
  lstCtgr = findChild<QListWidget*>(Text(wm::Control(wm::kLstCtgr).name));
  chkArea = findChild<QCheckBox*>(Text(wm::Control(wm::kChkArea).name));
  lstArea = findChild<QListWidget*>(Text(wm::Control(wm::kLstArea).name));
  btnAction = findChild<QPushButton*>(Text(wm::Control(wm::kBtnAction).name));
  btnCancel = findChild<QPushButton*>(Text(wm::Control(wm::kBtnCancel).name));
  prgBar = findChild<QProgressBar*>(Text(wm::Control(wm::kPrgBar).name));
  btnArea = findChild<QPushButton*>(Text(wm::Control(wm::kBtnArea).name));
  btnCtgr = findChild<QPushButton*>(Text(wm::Control(wm::kBtnCtgr).name));
  lblStatus = findChild<QLabel*>(Text(wm::Control(wm::kLblStatus).name));
  SetStatusText(Text(wm::kStatusInitialText));
  for (size_t i = 0; i + 1 < tab_order.size(); ++i) setTabOrder(tab_order[i], tab_order[i + 1]);

  BindGroup(categories(), chkCtgr, lstCtgr);
  BindGroup(prefectures(), chkArea, lstArea);

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

void TFrmMain::BindGroup(wm::SelectionGroup& group, QCheckBox* all_box, QListWidget* list) {
  for (int i = 0; i < group.Count(); ++i) {
    auto* item = new QListWidgetItem(QString::fromStdString(SjisToUtf8(group.Item(i))), list);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    item->setCheckState(Qt::Unchecked);
  }
  wm::SelectionGroup::View view;
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
  view.focus_list = [list] { list->setFocus(Qt::OtherFocusReason); };
  group.Bind(std::move(view));
}

void TFrmMain::BindRebuilder() {
  wm::TableRebuilder::View view;
  view.show_status = [this](const std::string& text) {
    SetStatusText(Text(text));
    lblStatus->repaint();
  };
  view.show_message = [this](const UserMessage& message) { ShowMessage(message); };
  rebuilder_.Bind(std::move(view));
}

void TFrmMain::FormCreate() {
  TaskbarReady = false;
  TaskbarReady = desktop::InitializeTaskbarAPI();
  model_.FindDatabase();
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
  if (!model_.CheckConfig(controller_, *this)) Terminate();
}

void TFrmMain::SaveSettings() {
  model_.SaveSettings();
}

void TFrmMain::SetStatusText(const QString& text) {
  lblStatus->setText(text);
  const QSize size = lblStatus->sizeHint();
  lblStatus->setGeometry(Rect(wm::StatusLabelRect(size.width(), size.height())));
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
  return model_.TickedSelection();
}

void TFrmMain::RestoreSelection(const Selection& selection) {
  model_.RestoreSelection(selection);
}

int TFrmMain::ShowMessage(const UserMessage& message) {
  return dialogs_.MessageBox(this, Text(message.text), Text(message.title), message.style);
}

std::optional<RunView::ChosenFile> TFrmMain::AskOutputFile(const std::string& initial_name) {
  OutputPath = Text(initial_name);
  // The CSV's type first, as the dialog always offered it; then the workbook's.
  const QStringList filters = {
      Text(msg::kSaveFilterName) + " (" + Text(msg::kSaveFilterPattern) + ")",
      Text(msg::kWorkbookFilterName) + " (" + Text(msg::kWorkbookFilterPattern) + ")"};
  const QString folder = QString::fromStdString(Utf8FromPath(save_folder_.Initial()));
  const auto chosen =
      dialogs_.SaveFileName(this, {Text(msg::kSaveTitle), filters, OutputPath, folder});
  if (!chosen) return std::nullopt;
  OutputPath = chosen->path;
  const std::string path = QFile::encodeName(chosen->path).toStdString();
  save_folder_.Chosen(PathFromUtf8(chosen->path.toStdString()));
  return ChosenFile{path, chosen->filter == 1};
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
  if (TaskbarReady) desktop::SetTaskbarProgressState(wm::tbpsNone);
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
  // The window stays until a table rebuild has ended: it holds the database.
  bool may_close = false;
  if (!rebuilder_.running()) Guarded([&] { may_close = controller_.CloseQuery(); });
  if (may_close) {
    event->accept();
  } else {
    event->ignore();
  }
}

void TFrmMain::btnAreaClick() {
  rebuilder_.Start(RebuildTable::kCities);
}

void TFrmMain::btnCtgrClick() {
  rebuilder_.Start(RebuildTable::kSubCategories);
}

}  // namespace valmeric::app
