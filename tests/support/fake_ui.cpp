#include "fake_ui.h"

#include "decode/decoder_state.h"
#include "shell/stub_config.h"
#include "shell/ui.h"

FakeUi fake_ui;

void fake_ui_reset() { fake_ui = FakeUi{}; }

std::vector<std::string> fake_box_texts() {
  std::vector<std::string> texts;
  for (const FakeBox& box : fake_ui.boxes) texts.push_back(box.text);
  return texts;
}

int ui_message_box(void* owner, const char* text, const char* caption, uint32_t style) {
  fake_ui.boxes.push_back({owner, text, caption, style});
  if (fake_ui.box_answers.empty()) return ANSWER_OK;
  int answer = fake_ui.box_answers.front();
  fake_ui.box_answers.pop_front();
  return answer;
}

int ui_overwrite_prompt() {
  fake_ui.prompts.push_back(stub_config.destination);
  if (fake_ui.on_prompt) fake_ui.on_prompt();
  if (fake_ui.prompt_answers.empty()) return PROMPT_YES;
  int answer = fake_ui.prompt_answers.front();
  fake_ui.prompt_answers.pop_front();
  return answer;
}

// As the stub's status line, which drains the queue when it is shown.
void ui_set_status(void*, const char* text) {
  fake_ui.statuses.push_back(text);
  drain_message_queue();
}

void drain_message_queue() {
  uint32_t n = ++fake_ui.drains;
  if (fake_ui.cancel_at_drain == n) decoder.cancel_requested = 1;
  if (fake_ui.on_drain) fake_ui.on_drain(n);
}

void pump_messages() {
  uint32_t n = ++fake_ui.pumps;
  if (fake_ui.cancel_at_pump == n) decoder.cancel_requested = 1;
  if (fake_ui.on_pump) fake_ui.on_pump(n);
}

int ui_volume_max_component(const char* root, uint32_t* max_component) {
  fake_ui.volume_roots.push_back(root);
  if (!fake_ui.volume_ok) return 0;
  *max_component = fake_ui.max_component;
  return 1;
}

void ui_start_program(const char* command_line) { fake_ui.program_starts.push_back(command_line); }

namespace {
int fake_key;  // its address is the one key handed out
}

int ui_registry_create(const char* subkey, void** key) {
  fake_ui.registry.push_back({"create", subkey, "", 0});
  if (!fake_ui.registry_ok) return 0;
  *key = &fake_key;
  return 1;
}

void ui_registry_set(void* key, const char* name, uint32_t type, const void* data, uint32_t size) {
  std::string value = key == &fake_key ? std::string((const char*)data, size) : "<bad key>";
  fake_ui.registry.push_back({"set", name, value, size, type});
}

void ui_registry_close(void* key) {
  fake_ui.registry.push_back({"close", key == &fake_key ? "" : "<bad key>", "", 0});
}
