// The catalogue of user-visible messages. Every message has a name ("_KXYes") by which translators
// look it up and replace it, and an English text that may hold Format placeholders.
//
// In code a message is the constant of its name without the underscore (C++ reserves names that begin
// with an underscore and a capital): KXYes, KXXList. A constant is a key, not the text, so that a
// translation set at run time is what every caller sees. It converts to its current text wherever a
// UnicodeString is expected, so both of these work:
//     Format(KXXList, {u"word"})              // "word list", or the translation
//     UnicodeString caption = LoadMessage(KXYes);
// As a Format argument (rather than the format) a message is passed as LoadMessage(KXYes).
// New messages are one line each in messages_table.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "kx8rt/platform/strings.h"

namespace kx8 {

// Position of each message in the catalogue (kxm_ followed by the constant's name).
enum TKXMessageIndex : uint16_t {
#define KX8_MESSAGE(name, text) kxm_##name,
#include "kx8rt/platform/messages_table.h"
#undef KX8_MESSAGE
  kxm_Count
};

// A message of the catalogue; converts to its current text.
struct TKXMessage {
  TKXMessageIndex Index;
  operator UnicodeString() const;
};

#define KX8_MESSAGE(name, text) inline constexpr TKXMessage name{kxm_##name};
#include "kx8rt/platform/messages_table.h"
#undef KX8_MESSAGE

// The message's current text (the English one unless a translation replaced it).
UnicodeString LoadMessage(TKXMessage message);
// The message's full name, for example "_KXYes".
std::u16string_view MessageName(TKXMessage message);
// The English text the message was built with, whatever translation is in force.
std::u16string_view EnglishMessageText(TKXMessage message);

// Finds a message by its full name ("_KXYes"); false when there is none.
bool FindMessage(std::u16string_view name, TKXMessage& message);
// The current text of the named message; empty when no message has that name.
UnicodeString MessageByName(std::u16string_view name);

// Replaces a message's text (a translation); false when no message has that name.
bool SetMessageText(std::u16string_view name, const UnicodeString& text);
void SetMessageText(TKXMessage message, const UnicodeString& text);
// Puts every message back to its English text.
void ResetMessageTexts();

// Number of messages; with MessageAt, walks the catalogue (for exporting texts to translate).
size_t MessageCount();
TKXMessage MessageAt(size_t index);

}  // namespace kx8
