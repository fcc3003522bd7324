// Recording double of the setup dialog's window: control texts, visibility and enabled state,
// message boxes answered from a script, wait-cursor depth and the end of the modal run.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "app/setup_view.h"

namespace corvane::testing {

class FakeSetupView : public SetupView {
 public:
  struct Control {
    std::string text;
    bool visible = true;
    bool enabled = true;
  };
  struct Box {
    std::string text;
    Buttons buttons;
  };

  // Dialog 102 as it looks when the window has been created.
  FakeSetupView() {
    controls_[kIdOk] = {"OK"};
    controls_[kIdCancel] = {"Cancel"};
    controls_[kIdInstallPath] = {};
    controls_[kIdDescription] = {};
    controls_[kIdPathLabel] = {"Setup path:"};
    controls_[kIdIconFrame] = {};
    controls_[kIdUpdateInfo] = {"Latest version info (from Internet)", false, true};
    controls_[kBrowseButton] = {};
  }

  // --- set-up ---
  // Answers for the next message boxes, in order; unscripted boxes answer `defaultAnswer`.
  void QueueAnswer(Answer a) { answers_.push_back(a); }
  Answer defaultAnswer = Answer::Ok;
  // Runs while a message box is up (the box's own message loop), e.g. a second OK press.
  std::function<void(const Box&)> onAsk;
  // Called from every view operation with a short description; for cross-double ordering.
  std::function<void(const std::string&)> onEvent;

  // --- inspection ---
  const Control& Get(int id) const { return controls_.at(id); }
  std::map<int, Control> Snapshot() const { return controls_; }
  const std::vector<Box>& Boxes() const { return boxes_; }
  int WaitDepth() const { return waitDepth_; }
  int WaitCalls() const { return waitCalls_; }
  int MaxWaitDepth() const { return maxWaitDepth_; }
  int EndResult() const { return endResult_; }
  int EndCalls() const { return endCalls_; }
  int DescriptionGrowth() const { return growth_; }

  // --- SetupView ---
  std::string Text(int id) override { return controls_.at(id).text; }
  void SetText(int id, const std::string& text) override {
    Event("text " + std::to_string(id));
    controls_.at(id).text = text;
  }
  void Show(int id, bool visible) override {
    Event((visible ? "show " : "hide ") + std::to_string(id));
    controls_.at(id).visible = visible;
  }
  void Enable(int id, bool enabled) override {
    Event((enabled ? "enable " : "disable ") + std::to_string(id));
    controls_.at(id).enabled = enabled;
  }
  void GrowDescriptionUp(int pixels) override {
    Event("grow");
    growth_ += pixels;
  }
  Answer Ask(std::string_view text, Buttons buttons) override {
    Event("ask");
    boxes_.push_back(Box{std::string(text), buttons});
    if (onAsk) onAsk(boxes_.back());
    if (answers_.empty()) return defaultAnswer;
    const Answer a = answers_.front();
    answers_.pop_front();
    return a;
  }
  void BeginWaitCursor() override {
    ++waitCalls_;
    ++waitDepth_;
    if (waitDepth_ > maxWaitDepth_) maxWaitDepth_ = waitDepth_;
  }
  void EndWaitCursor() override { --waitDepth_; }
  void End(int result) override {
    Event("end");
    endResult_ = result;
    ++endCalls_;
  }
  WindowRef Window() override { return kWindow; }

  static constexpr WindowRef kWindow = 0x1234;

 private:
  void Event(const std::string& e) {
    if (onEvent) onEvent("view " + e);
  }

  std::map<int, Control> controls_;
  std::deque<Answer> answers_;
  std::vector<Box> boxes_;
  int waitDepth_ = 0, waitCalls_ = 0, maxWaitDepth_ = 0;
  int endResult_ = -1, endCalls_ = 0;
  int growth_ = 0;
};

}  // namespace corvane::testing
