#pragma once
// A recording fake of shell/ui.h for tests: every message box, prompt, status
// line, program start and registry call is recorded; message boxes and
// overwrite prompts answer from scripted queues; a drain (one at each status
// line, as the stub drains when it shows one; or a pump, the
// decoders' drain during a member) can set cancel_requested when chosen. fake_ui_reset() restores the defaults
// (boxes answer OK, prompts answer Yes, long names, registry calls succeed).
#include <stdint.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

struct FakeBox {
  void* owner;
  std::string text;
  std::string caption;
  uint32_t style;
};

struct FakeRegistryCall {
  std::string op;     // "create", "set", "close"
  std::string name;   // subkey (create) or value name (set)
  std::string data;   // set: exactly `size` bytes from the caller's data
  uint32_t size = 0;
  uint32_t type = 0;  // set: REGISTRY_TEXT or REGISTRY_NUMBER
};

struct FakeUi {
  // Scripted answers, taken from the front; when empty, the default answers.
  std::deque<int> box_answers;     // default ANSWER_OK
  std::deque<int> prompt_answers;  // default PROMPT_YES
  // Called while the prompt is up (the user may press Cancel meanwhile).
  std::function<void()> on_prompt;
  // Records.
  std::vector<FakeBox> boxes;
  std::vector<std::string> prompts;   // stub_config.destination when asked
  std::vector<std::string> statuses;
  std::vector<std::string> program_starts;
  std::vector<FakeRegistryCall> registry;
  std::vector<std::string> volume_roots;
  uint32_t drains = 0;
  // Sets decoder.cancel_requested at this drain (1-based); 0 never.
  uint32_t cancel_at_drain = 0;
  // Called at every drain with its number, after the cancel hook.
  std::function<void(uint32_t)> on_drain;
  // The same for pump_messages, the decoders' drains during a member.
  uint32_t pumps = 0;
  uint32_t cancel_at_pump = 0;
  std::function<void(uint32_t)> on_pump;
  // Surroundings.
  bool volume_ok = true;
  uint32_t max_component = 255;
  bool registry_ok = true;
};

extern FakeUi fake_ui;
void fake_ui_reset();
// Texts of the boxes shown so far, in order.
std::vector<std::string> fake_box_texts();
