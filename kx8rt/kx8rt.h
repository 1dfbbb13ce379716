// Umbrella header: includes every public header of the KX8 run-time library.
#pragma once

// platform
#include "kx8rt/platform/char_classes.h"
#include "kx8rt/platform/code_pages.h"
#include "kx8rt/platform/datetime.h"
#include "kx8rt/platform/encoding.h"
#include "kx8rt/platform/exceptions.h"
#include "kx8rt/platform/format.h"
#include "kx8rt/platform/last_error.h"
#include "kx8rt/platform/locales.h"
#include "kx8rt/platform/messages.h"
#include "kx8rt/platform/object_list.h"
#include "kx8rt/platform/quick_sort.h"
#include "kx8rt/platform/streams.h"
#include "kx8rt/platform/string_list.h"
#include "kx8rt/platform/strings.h"
#include "kx8rt/platform/yield.h"

// text primitives
#include "kx8rt/text_primitives/bare_assemb.h"
#include "kx8rt/text_primitives/char_types.h"

// strings
#include "kx8rt/strings/readable_strings.h"
#include "kx8rt/strings/text_cleaning.h"

// definitions
#include "kx8rt/definitions/concordance_spans.h"
#include "kx8rt/definitions/tool_identity.h"
