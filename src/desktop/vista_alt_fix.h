#pragma once

#include <QObject>
#include <QPointer>
#include <memory>
#include <vector>

class QWidget;

namespace valmeric::desktop {

// Themed Windows controls can be left undrawn after the window has processed
// a UI-state change (pressing Alt shows the keyboard accelerators). This
// component watches every top-level window of the program and repaints its
// controls at the next idle moment after such a change. It does nothing
// outside Windows or without visual themes.
class TVistaAltFix final : public QObject {
  Q_OBJECT

 public:
  explicit TVistaAltFix(QObject* owner);
  ~TVistaAltFix() override;

  // Full repaint of every control (true, the default) or only of buttons.
  bool RepaintAll() const { return repaint_all_; }
  void SetRepaintAll(bool value) { repaint_all_ = value; }

  // True when the component watches windows.
  bool Active() const { return watcher_ != nullptr; }

  // Windows Vista or later with visual themes on.
  static bool VistaWithTheme();

 private:
  class Watcher;
  bool repaint_all_ = true;
  std::unique_ptr<Watcher> watcher_;
};

// The controls of form that a full repaint redraws, in order: every widget
// but labels (which their parent draws), depth first.
std::vector<QWidget*> FullRepaintTargets(QWidget* form);
// The controls a selective repaint redraws: buttons without an icon, found
// through every container except the pages of a tab widget that are not
// shown.
std::vector<QWidget*> SelectiveRepaintTargets(QWidget* form);

}  // namespace valmeric::desktop
