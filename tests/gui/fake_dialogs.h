#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <optional>
#include <vector>

#include "app/dialogs.h"

namespace valmeric::test {

struct ShownBox {
  QString text;
  QString title;
  unsigned style = 0;
};

// Answers the window's boxes and save dialog from queues the test fills, and
// records everything shown. A question nobody prepared an answer for fails
// the test (and is answered No).
class FakeDialogs final : public app::Dialogs {
 public:
  void setNextAnswer(int answer) { answers_.push_back(answer); }
  // filter: the position of the file type chosen (0 the CSV's, 1 the workbook's).
  void setNextFileName(const QString& path, int filter = 0) {
    files_.push_back({true, {path, filter}});
  }
  void setNextFileCancelled() { files_.push_back({false, {}}); }

  int MessageBox(QWidget*, const QString& text, const QString& title, unsigned style) override {
    boxes.push_back({text, title, style});
    if (on_box) on_box(boxes.back());
    if ((style & 0xF) != app::mb::kYesNo) return app::kIdOk;
    if (answers_.empty()) {
      ADD_FAILURE() << "unexpected question: " << text.toStdString();
      return app::kIdNo;
    }
    const int answer = answers_.front();
    answers_.pop_front();
    return answer;
  }

  std::optional<app::SavedFile> SaveFileName(QWidget*,
                                             const app::SaveDialogOptions& options) override {
    save_dialogs.push_back(options);
    if (files_.empty()) {
      ADD_FAILURE() << "unexpected save dialog";
      return std::nullopt;
    }
    const auto [chosen, file] = files_.front();
    files_.pop_front();
    if (!chosen) return std::nullopt;
    return file;
  }

  std::vector<ShownBox> boxes;
  std::vector<app::SaveDialogOptions> save_dialogs;
  std::function<void(const ShownBox&)> on_box;

 private:
  std::deque<int> answers_;
  std::deque<std::pair<bool, app::SavedFile>> files_;  // false: the dialog is cancelled
};

}  // namespace valmeric::test
