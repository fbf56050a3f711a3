#include "desktop/vista_alt_fix.h"

#include <QAbstractButton>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QTabWidget>
#include <QWidget>

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

// Nothing to watch outside Windows.
class TVistaAltFix::Watcher final {};

bool TVistaAltFix::VistaWithTheme() {
  return false;
}

// The Qt window runs outside Windows only (the Windows program is the Win32
// window, with a fix of its own), so the watcher is never made.
TVistaAltFix::TVistaAltFix(QObject* owner) : QObject(owner) {}

TVistaAltFix::~TVistaAltFix() = default;

}  // namespace valmeric::desktop
