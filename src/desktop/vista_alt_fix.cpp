#include "desktop/vista_alt_fix.h"

#include <QAbstractButton>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QTabWidget>
#include <QWidget>

#ifdef _WIN32
#include <uxtheme.h>
#include <windows.h>
#include <QAbstractEventDispatcher>
#include <QAbstractNativeEventFilter>
#include <QApplication>
#endif

namespace valmeric::desktop {
namespace {

bool IsWindowed(const QWidget* widget) {
  return qobject_cast<const QLabel*>(widget) == nullptr;
}

std::vector<QWidget*> ChildWidgets(QWidget* parent) {
  std::vector<QWidget*> children;
  for (QObject* child : parent->children()) {
    if (auto* widget = qobject_cast<QWidget*>(child); widget != nullptr && !widget->isWindow()) {
      children.push_back(widget);
    }
  }
  return children;
}

void CollectFull(QWidget* control, std::vector<QWidget*>& out) {
  if (!IsWindowed(control)) return;
  out.push_back(control);
  for (QWidget* child : ChildWidgets(control)) CollectFull(child, out);
}

// A page of a tab widget that is not the page shown.
bool IsHiddenTabPage(const QWidget* widget) {
  const auto* stack = qobject_cast<const QStackedWidget*>(widget->parentWidget());
  if (stack == nullptr || qobject_cast<const QTabWidget*>(stack->parentWidget()) == nullptr) {
    return false;
  }
  return stack->currentWidget() != widget;
}

void CollectSelective(QWidget* control, std::vector<QWidget*>& out) {
  if (!IsWindowed(control)) return;
  if (const auto* push = qobject_cast<const QPushButton*>(control);
      push != nullptr && !push->icon().isNull()) {
    return;  // drawn by its own code, not by the theme
  }
  if (qobject_cast<const QAbstractButton*>(control) != nullptr) {
    out.push_back(control);
    return;
  }
  if (IsHiddenTabPage(control)) return;
  for (QWidget* child : ChildWidgets(control)) CollectSelective(child, out);
}

}  // namespace

std::vector<QWidget*> FullRepaintTargets(QWidget* form) {
  std::vector<QWidget*> out;
  CollectFull(form, out);
  return out;
}

std::vector<QWidget*> SelectiveRepaintTargets(QWidget* form) {
  std::vector<QWidget*> out;
  for (QWidget* child : ChildWidgets(form)) CollectSelective(child, out);
  return out;
}

#ifdef _WIN32

// Watches the native messages of all top-level windows and repaints those
// that saw WM_UPDATEUISTATE when the event loop next goes idle. Qt owns the
// window procedures, so a native event filter stands in for replacing them;
// nothing is left pointing at the watcher once it is gone.
class TVistaAltFix::Watcher final : public QAbstractNativeEventFilter {
 public:
  explicit Watcher(const TVistaAltFix& fix) : fix_(fix) {
    QCoreApplication::instance()->installNativeEventFilter(this);
    idle_ = QObject::connect(QAbstractEventDispatcher::instance(),
                             &QAbstractEventDispatcher::aboutToBlock, [this] { IdlePass(); });
  }
  ~Watcher() override {
    QObject::disconnect(idle_);
    QCoreApplication::instance()->removeNativeEventFilter(this);
  }

  bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override {
    if (type != "windows_generic_MSG") return false;
    const MSG* msg = static_cast<const MSG*>(message);
    if (msg->message != WM_UPDATEUISTATE) return false;
    for (FormObj& form : forms_) {
      if (form.form && reinterpret_cast<HWND>(form.form->winId()) == msg->hwnd)
        form.needs_repaint = true;
    }
    return false;  // the window processes it as usual
  }

 private:
  struct FormObj {
    QPointer<QWidget> form;
    bool seen = true;
    bool needs_repaint = false;
    bool repaint_all = true;
  };

  void IdlePass() {
    for (FormObj& form : forms_) form.seen = false;
    for (QWidget* top : QApplication::topLevelWidgets()) {
      bool found = false;
      for (FormObj& form : forms_) {
        if (form.form == top) form.seen = found = true;
      }
      if (!found) forms_.push_back({top, true, false, fix_.RepaintAll()});
    }
    for (auto it = forms_.size(); it-- > 0;) {
      FormObj& form = forms_[it];
      if (!form.seen || !form.form) {
        forms_.erase(forms_.begin() + static_cast<std::ptrdiff_t>(it));
        continue;
      }
      if (!form.needs_repaint) continue;
      form.needs_repaint = false;
      const auto targets =
          form.repaint_all ? FullRepaintTargets(form.form) : SelectiveRepaintTargets(form.form);
      for (QWidget* widget : targets) widget->repaint();
    }
  }

  const TVistaAltFix& fix_;
  std::vector<FormObj> forms_;
  QMetaObject::Connection idle_;
};

bool TVistaAltFix::VistaWithTheme() {
  OSVERSIONINFOA version{};
  version.dwOSVersionInfoSize = sizeof version;  // 148 bytes
#ifdef _MSC_VER
#pragma warning(suppress : 4996)
#endif
  if (!GetVersionExA(&version)) return false;
  return version.dwMajorVersion >= 6 && IsAppThemed();
}

#else

// Nothing to watch outside Windows.
class TVistaAltFix::Watcher final {};

bool TVistaAltFix::VistaWithTheme() {
  return false;
}

#endif

TVistaAltFix::TVistaAltFix(QObject* owner) : QObject(owner) {
#ifdef _WIN32
  if (VistaWithTheme()) watcher_ = std::make_unique<Watcher>(*this);
#endif
}

TVistaAltFix::~TVistaAltFix() = default;

}  // namespace valmeric::desktop
