// Umbrella header: includes every public header of the KX8 run-time library.
// Written by tools/gen_umbrella.py.
#pragma once

// platform
#include "kx8rt/platform/char_classes.h"
#include "kx8rt/platform/code_pages.h"
#include "kx8rt/platform/colors.h"
#include "kx8rt/platform/cpu_features.h"
#include "kx8rt/platform/datetime.h"
#include "kx8rt/platform/encoding.h"
#include "kx8rt/platform/exceptions.h"
#include "kx8rt/platform/file_system.h"
#include "kx8rt/platform/format.h"
#include "kx8rt/platform/ini_files.h"
#include "kx8rt/platform/large_buffers.h"
#include "kx8rt/platform/last_error.h"
#include "kx8rt/platform/locales.h"
#include "kx8rt/platform/message_box.h"
#include "kx8rt/platform/messages.h"
#include "kx8rt/platform/object_list.h"
#include "kx8rt/platform/path_match.h"
#include "kx8rt/platform/quick_sort.h"
#include "kx8rt/platform/sets.h"
#include "kx8rt/platform/shared_memory.h"
#include "kx8rt/platform/streams.h"
#include "kx8rt/platform/string_list.h"
#include "kx8rt/platform/strings.h"
#include "kx8rt/platform/yield.h"
#include "kx8rt/platform/zip.h"

// text primitives
#include "kx8rt/text_primitives/bare_assemb.h"
#include "kx8rt/text_primitives/char_types.h"
#include "kx8rt/text_primitives/fileofchar.h"
#include "kx8rt/text_primitives/my_unicodenew.h"
#include "kx8rt/text_primitives/unicode_string_conversion.h"
#include "kx8rt/text_primitives/utf8_unit.h"

// containers
#include "kx8rt/containers/base_lists.h"
#include "kx8rt/containers/checked_string_lists.h"
#include "kx8rt/containers/comparisons.h"
#include "kx8rt/containers/folder_efficient_file_list.h"
#include "kx8rt/containers/holders.h"
#include "kx8rt/containers/my_streammemlists.h"
#include "kx8rt/containers/pointer_utils.h"
#include "kx8rt/containers/search_context.h"
#include "kx8rt/containers/search_recs.h"
#include "kx8rt/containers/sortablelists.h"
#include "kx8rt/containers/stream_fields.h"
#include "kx8rt/containers/typed_lists.h"
#include "kx8rt/containers/useful_classes.h"
#include "kx8rt/containers/useful_classes_base.h"
#include "kx8rt/containers/useful_classes_stringlist_sorts.h"

// search
#include "kx8rt/search/hit_finding.h"
#include "kx8rt/search/lem_match_stop_rel_lists.h"
#include "kx8rt/search/search_and_do_engine.h"
#include "kx8rt/search/search_engines.h"
#include "kx8rt/search/search_items.h"
#include "kx8rt/search/search_parsing.h"
#include "kx8rt/search/search_types.h"
#include "kx8rt/search/user_input_wildcard_parsing.h"
#include "kx8rt/search/widemasks.h"

// strings
#include "kx8rt/strings/custom_sort.h"
#include "kx8rt/strings/my_string_functions.h"
#include "kx8rt/strings/number_lists.h"
#include "kx8rt/strings/readable_strings.h"
#include "kx8rt/strings/repeated_chunks.h"
#include "kx8rt/strings/sentence_terminators.h"
#include "kx8rt/strings/sentences.h"
#include "kx8rt/strings/string_list_utilities.h"
#include "kx8rt/strings/tags.h"
#include "kx8rt/strings/text_cleaning.h"
#include "kx8rt/strings/word_lists.h"

// definitions
#include "kx8rt/definitions/concordance_spans.h"
#include "kx8rt/definitions/list_types.h"
#include "kx8rt/definitions/locale_utilities.h"
#include "kx8rt/definitions/settings_records.h"
#include "kx8rt/definitions/settings_records_further.h"
#include "kx8rt/definitions/text_structure.h"
#include "kx8rt/definitions/tool_identity.h"

// files
#include "kx8rt/files/file_utils.h"
#include "kx8rt/files/inifilebase.h"
#include "kx8rt/files/logging_utilities.h"
#include "kx8rt/files/my_filestream.h"
#include "kx8rt/files/perusedir.h"
#include "kx8rt/files/system_routines.h"
#include "kx8rt/files/zip_utils.h"

// dates
#include "kx8rt/dates/juliandateroutines.h"

// corpus
#include "kx8rt/corpus/concordance.h"
#include "kx8rt/corpus/corpus_measures.h"
#include "kx8rt/corpus/corpus_statistics.h"
#include "kx8rt/corpus/corpus_texts.h"
#include "kx8rt/corpus/corpus_word_lists.h"
#include "kx8rt/corpus/corpus_words.h"
#include "kx8rt/corpus/text_delivery.h"
