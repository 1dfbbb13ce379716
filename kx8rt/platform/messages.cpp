#include "kx8rt/platform/messages.h"

#include <unordered_map>
#include <vector>

#include "kx8rt/platform/exceptions.h"

namespace kx8 {

namespace {

struct TMessageEntry {
  std::u16string_view Name;
  std::u16string_view English;
};

// Adjacent literals join, so u"_" "KXYes" is the full name u"_KXYes".
constexpr TMessageEntry kMessages[] = {
#define KX8_MESSAGE(name, text) {u"_" #name, text},
#include "kx8rt/platform/messages_table.h"
#undef KX8_MESSAGE
};
static_assert(std::size(kMessages) == kxm_Count);

// The texts in force; built on first use so that the catalogue is ready before any other unit's start-up.
std::vector<UnicodeString>& Texts() {
  static std::vector<UnicodeString> texts = [] {
    std::vector<UnicodeString> t;
    t.reserve(kxm_Count);
    for (const auto& m : kMessages) t.emplace_back(m.English);
    return t;
  }();
  return texts;
}

const std::unordered_map<std::u16string_view, TKXMessageIndex>& ByName() {
  static const std::unordered_map<std::u16string_view, TKXMessageIndex> map = [] {
    std::unordered_map<std::u16string_view, TKXMessageIndex> m;
    m.reserve(kxm_Count);
    for (size_t i = 0; i < kxm_Count; ++i) m.emplace(kMessages[i].Name, static_cast<TKXMessageIndex>(i));
    return m;
  }();
  return map;
}

size_t Checked(TKXMessage message) {
  const size_t i = message.Index;
  if (i >= kxm_Count) throw EListError(u"Message index out of bounds (" + IntToStr(static_cast<int64_t>(i)) + u")");
  return i;
}

}  // namespace

TKXMessage::operator UnicodeString() const { return LoadMessage(*this); }

UnicodeString LoadMessage(TKXMessage message) { return Texts()[Checked(message)]; }

std::u16string_view MessageName(TKXMessage message) { return kMessages[Checked(message)].Name; }

std::u16string_view EnglishMessageText(TKXMessage message) { return kMessages[Checked(message)].English; }

bool FindMessage(std::u16string_view name, TKXMessage& message) {
  const auto& map = ByName();
  const auto it = map.find(name);
  if (it == map.end()) return false;
  message = TKXMessage{it->second};
  return true;
}

UnicodeString MessageByName(std::u16string_view name) {
  TKXMessage m{};
  return FindMessage(name, m) ? LoadMessage(m) : UnicodeString();
}

bool SetMessageText(std::u16string_view name, const UnicodeString& text) {
  TKXMessage m{};
  if (!FindMessage(name, m)) return false;
  SetMessageText(m, text);
  return true;
}

void SetMessageText(TKXMessage message, const UnicodeString& text) { Texts()[Checked(message)] = text; }

void ResetMessageTexts() {
  auto& texts = Texts();
  for (size_t i = 0; i < kxm_Count; ++i) texts[i] = UnicodeString(kMessages[i].English);
}

size_t MessageCount() { return kxm_Count; }

TKXMessage MessageAt(size_t index) {
  if (index >= kxm_Count) throw EListError(u"Message index out of bounds (" + IntToStr(static_cast<int64_t>(index)) + u")");
  return TKXMessage{static_cast<TKXMessageIndex>(index)};
}

}  // namespace kx8
