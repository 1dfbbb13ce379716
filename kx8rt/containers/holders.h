// Holders: small objects that each carry one value or record, so that it can be an entry of the base
// lists or sit in the object slot of a string list. Entry holders stream their value little-endian,
// field by field in record order; those marked "not streamed" keep the base behaviour (nothing
// written or read, success reported).
#pragma once

#include <cstdint>

#include "kx8rt/containers/base_lists.h"
#include "kx8rt/containers/comparisons.h"
#include "kx8rt/platform/datetime.h"
#include "kx8rt/platform/object_list.h"
#include "kx8rt/platform/string_list.h"
#include "kx8rt/platform/strings.h"

namespace kx8 {

// ---- records ----

// A field the system names "int" is int_ here, as int is a C++ keyword.
struct T2_Pointer {
  void* p1 = nullptr;  // not owned
  void* p2 = nullptr;  // not owned
};
struct TWordFreqAndSourceNum {
  UnicodeString w;
  int32_t f = 0;
  int32_t source_num = 0;
};
struct TIntegerAndSingleRec {
  int32_t int_ = 0;
  float s = 0;
};
struct T2LongintAndSingleRec {
  T2_longint_rec t2;
  float s = 0;
};
struct T3LongintAndSingleRec {
  T3_longint_rec t3;
  float s = 0;
};
struct TCardinalAndFreq {
  uint32_t c = 0;
  int32_t f = 0;
};
struct T2StringsAnd2IntegersRec {
  int32_t int1 = 0;
  int32_t int2 = 0;
  UnicodeString s1;
  UnicodeString s2;
};
struct TStringTrueColumnAndColourRec {
  int32_t true_column_number = 0;
  int32_t background_colour = 0;
  UnicodeString s;
};
struct TStringAndIntegerRec {
  UnicodeString s;
  int32_t i = 0;
};
struct TMeanAndSD_rec {
  float mean = 0;
  float sd = 0;
};
struct TStringAndMeanAndSD_rec {
  TMeanAndSD_rec score;
  UnicodeString extra;
};

// Carriers for returning two things at once; they own nothing.
struct T2Stringlists {
  TStringList* list1 = nullptr;
  TStringList* list2 = nullptr;
};
struct TFilesAndDirsRec {
  TStringList* files = nullptr;
  TStringList* dirs = nullptr;
};
struct TStringListAndBoolean {
  TStringList* SLIst = nullptr;
  bool b = false;
};
struct TStringListAndInteger {
  TStringList* SLIst = nullptr;
  int32_t n = 0;
};

// ---- entry holders ----

// A 32-bit signed value; 4 bytes.
class TLongIntHolder : public TUsefulBaseListObject {
 public:
  TLongIntHolder() = default;
  explicit TLongIntHolder(int32_t value) : data(value) {}
  int32_t data = 0;
  bool ReadFromStream(TStream& stream) override;
  bool SaveToStream(TStream& stream) override;
};

// A 32-bit unsigned value; 4 bytes.
class TCardinalHolder : public TUsefulBaseListObject {
 public:
  TCardinalHolder() = default;
  explicit TCardinalHolder(uint32_t value) : data(value) {}
  uint32_t data = 0;
  bool ReadFromStream(TStream& stream) override;
  bool SaveToStream(TStream& stream) override;
};

// A 32-bit float; 4 bytes.
class TSingleHolder : public TUsefulBaseListObject {
 public:
  TSingleHolder() = default;
  explicit TSingleHolder(float value) : data(value) {}
  float data = 0;
  bool ReadFromStream(TStream& stream) override;
  bool SaveToStream(TStream& stream) override;
};

// A 64-bit float made from a 32-bit one; 8 bytes.
class TDoubleHolder : public TUsefulBaseListObject {
 public:
  TDoubleHolder() = default;
  explicit TDoubleHolder(float value) : data(value) {}
  double data = 0;
  bool ReadFromStream(TStream& stream) override;
  bool SaveToStream(TStream& stream) override;
};

// A 64-bit signed value; 8 bytes.
class TInt64Holder : public TUsefulBaseListObject {
 public:
  TInt64Holder() = default;
  explicit TInt64Holder(int64_t value) : data(value) {}
  int64_t data = 0;
  bool ReadFromStream(TStream& stream) override;
  bool SaveToStream(TStream& stream) override;
};

// A date-time; not streamed.
class TDateTimeHolder : public TUsefulBaseListObject {
 public:
  TDateTimeHolder() = default;
  explicit TDateTimeHolder(TDateTime value) : data(value) {}
  TDateTime data = 0;
};

// Two 32-bit integers; not streamed.
class TTwoLongIntHolder : public TUsefulBaseListObject {
 public:
  TTwoLongIntHolder() = default;
  explicit TTwoLongIntHolder(const T2_longint_rec& value) : data(value) {}
  T2_longint_rec data;
};

// Two pointers the holder does not own; not streamed.
class TDoublePointerHolder : public TUsefulBaseListObject {
 public:
  TDoublePointerHolder() = default;
  explicit TDoublePointerHolder(const T2_Pointer& value) : data(value) {}
  T2_Pointer data;
};

// A word, its frequency and its source number; not streamed.
class TWordFreqAndSourceNumHolder : public TUsefulBaseListObject {
 public:
  TWordFreqAndSourceNumHolder() = default;
  explicit TWordFreqAndSourceNumHolder(const TWordFreqAndSourceNum& value) : data(value) {}
  TWordFreqAndSourceNum data;
};

// int_ and s; 8 bytes.
class TIntegerAndSingleHolder : public TUsefulBaseListObject {
 public:
  TIntegerAndSingleHolder() = default;
  explicit TIntegerAndSingleHolder(const TIntegerAndSingleRec& value) : data(value) {}
  TIntegerAndSingleRec data;
  bool ReadFromStream(TStream& stream) override;
  bool SaveToStream(TStream& stream) override;
};

// long0, long1 and s; 12 bytes.
class T2LongIntAndSingleHolder : public TUsefulBaseListObject {
 public:
  T2LongIntAndSingleHolder() = default;
  explicit T2LongIntAndSingleHolder(const T2LongintAndSingleRec& value) : data(value) {}
  T2LongintAndSingleRec data;
  bool ReadFromStream(TStream& stream) override;
  bool SaveToStream(TStream& stream) override;
};

// The same record and stream form as T2LongIntAndSingleHolder, a class of its own for lists that
// must tell the two apart.
class T2IntsAndSingleHolder : public T2LongIntAndSingleHolder {
 public:
  using T2LongIntAndSingleHolder::T2LongIntAndSingleHolder;
};

// long0, long1, long2 and s; 16 bytes.
class T3LongIntAndSingleHolder : public TUsefulBaseListObject {
 public:
  T3LongIntAndSingleHolder() = default;
  explicit T3LongIntAndSingleHolder(const T3LongintAndSingleRec& value) : data(value) {}
  T3LongintAndSingleRec data;
  bool ReadFromStream(TStream& stream) override;
  bool SaveToStream(TStream& stream) override;
};

// freq, card1, card2 and card3; 16 bytes.
class TIntegerAnd3CardinalsHolder : public TUsefulBaseListObject {
 public:
  TIntegerAnd3CardinalsHolder() = default;
  explicit TIntegerAnd3CardinalsHolder(const TIntegerAnd3CardinalsRec& value) : data(value) {}
  TIntegerAnd3CardinalsRec data;
  bool ReadFromStream(TStream& stream) override;
  bool SaveToStream(TStream& stream) override;
};

// c and f; 8 bytes.
class TCardinalAndFreqHolder : public TUsefulBaseListObject {
 public:
  TCardinalAndFreqHolder() = default;
  explicit TCardinalAndFreqHolder(const TCardinalAndFreq& value) : data(value) {}
  TCardinalAndFreq data;
  bool ReadFromStream(TStream& stream) override;
  bool SaveToStream(TStream& stream) override;
};

// int1 and int2 (8 bytes), then s1 and s2 in the string stream form. Reading fails only when the
// 8 bytes are short, and then reads no strings; a bad string length raises as ReadAString does.
class T2StringsAnd2IntegersHolder : public TUsefulBaseListObject {
 public:
  T2StringsAnd2IntegersHolder() = default;
  explicit T2StringsAnd2IntegersHolder(const T2StringsAnd2IntegersRec& value) : data(value) {}
  T2StringsAnd2IntegersRec data;
  bool ReadFromStream(TStream& stream) override;
  bool SaveToStream(TStream& stream) override;
};

// true_column_number and background_colour (8 bytes, count not checked), then s in the string
// stream form; any exception during the transfer is swallowed and reported as false.
class TStringTrueColumnAndColourHolder : public TUsefulBaseListObject {
 public:
  TStringTrueColumnAndColourHolder() = default;
  explicit TStringTrueColumnAndColourHolder(const TStringTrueColumnAndColourRec& value) : data(value) {}
  TStringTrueColumnAndColourRec data;
  bool ReadFromStream(TStream& stream) override;
  bool SaveToStream(TStream& stream) override;
};

// ---- holders for string-list object slots ----

// Any record in an object slot; the holders below are instances.
template <class T>
class TRecordHolder : public TObject {
 public:
  TRecordHolder() = default;
  explicit TRecordHolder(const T& value) : data(value) {}
  T data{};
};

using TStringAndIntegerHolder = TRecordHolder<TStringAndIntegerRec>;
using TStringAndMeanAndSD_recHolder = TRecordHolder<TStringAndMeanAndSD_rec>;
using TPublicIntegerHolder = TRecordHolder<int32_t>;

// A 16-bit value kept in int_ (the system's field name "int" is a C++ keyword).
class TSmallIntHolder : public TObject {
 public:
  TSmallIntHolder() = default;
  explicit TSmallIntHolder(int16_t value) : int_(value) {}
  int16_t int_ = 0;
};

}  // namespace kx8
