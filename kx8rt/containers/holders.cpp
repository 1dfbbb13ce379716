#include "kx8rt/containers/holders.h"

#include "kx8rt/containers/stream_fields.h"

namespace kx8 {

namespace {

// Writes the 32-bit fields in one transfer; true when every byte went.
template <size_t N>
bool WriteFields(TStream& stream, const uint32_t (&fields)[N]) {
  uint8_t bytes[4 * N];
  for (size_t k = 0; k < N; ++k) PutLE32(bytes + 4 * k, fields[k]);
  return stream.Write(bytes, static_cast<int32_t>(sizeof bytes)) == static_cast<int32_t>(sizeof bytes);
}

// Reads the 32-bit fields in one transfer; on a short read they are left as they were.
template <size_t N>
bool ReadFields(TStream& stream, uint32_t (&fields)[N]) {
  uint8_t bytes[4 * N];
  if (stream.Read(bytes, static_cast<int32_t>(sizeof bytes)) != static_cast<int32_t>(sizeof bytes)) return false;
  for (size_t k = 0; k < N; ++k) fields[k] = GetLE32(bytes + 4 * k);
  return true;
}

bool Write64(TStream& stream, uint64_t v) {
  uint8_t b[8];
  PutLE64(b, v);
  return stream.Write(b, 8) == 8;
}

bool Read64(TStream& stream, uint64_t& v) {
  uint8_t b[8];
  if (stream.Read(b, 8) != 8) return false;
  v = GetLE64(b);
  return true;
}

uint32_t U(int32_t v) { return static_cast<uint32_t>(v); }
int32_t S(uint32_t v) { return static_cast<int32_t>(v); }

}  // namespace

bool TLongIntHolder::SaveToStream(TStream& stream) { return WriteInt32(stream, data); }
bool TLongIntHolder::ReadFromStream(TStream& stream) { return ReadInt32(stream, data); }

bool TCardinalHolder::SaveToStream(TStream& stream) { return WriteFields<1>(stream, {data}); }
bool TCardinalHolder::ReadFromStream(TStream& stream) {
  uint32_t f[1] = {data};
  const bool ok = ReadFields(stream, f);
  data = f[0];
  return ok;
}

bool TSingleHolder::SaveToStream(TStream& stream) { return WriteFields<1>(stream, {FloatBits(data)}); }
bool TSingleHolder::ReadFromStream(TStream& stream) {
  uint32_t f[1];
  if (!ReadFields(stream, f)) return false;
  data = BitsFloat(f[0]);
  return true;
}

bool TDoubleHolder::SaveToStream(TStream& stream) { return Write64(stream, DoubleBits(data)); }
bool TDoubleHolder::ReadFromStream(TStream& stream) {
  uint64_t v;
  if (!Read64(stream, v)) return false;
  data = BitsDouble(v);
  return true;
}

bool TInt64Holder::SaveToStream(TStream& stream) { return Write64(stream, static_cast<uint64_t>(data)); }
bool TInt64Holder::ReadFromStream(TStream& stream) {
  uint64_t v;
  if (!Read64(stream, v)) return false;
  data = static_cast<int64_t>(v);
  return true;
}

bool TIntegerAndSingleHolder::SaveToStream(TStream& stream) {
  return WriteFields<2>(stream, {U(data.int_), FloatBits(data.s)});
}
bool TIntegerAndSingleHolder::ReadFromStream(TStream& stream) {
  uint32_t f[2];
  if (!ReadFields(stream, f)) return false;
  data.int_ = S(f[0]);
  data.s = BitsFloat(f[1]);
  return true;
}

bool T2LongIntAndSingleHolder::SaveToStream(TStream& stream) {
  return WriteFields<3>(stream, {U(data.t2.long0), U(data.t2.long1), FloatBits(data.s)});
}
bool T2LongIntAndSingleHolder::ReadFromStream(TStream& stream) {
  uint32_t f[3];
  if (!ReadFields(stream, f)) return false;
  data.t2.long0 = S(f[0]);
  data.t2.long1 = S(f[1]);
  data.s = BitsFloat(f[2]);
  return true;
}

bool T3LongIntAndSingleHolder::SaveToStream(TStream& stream) {
  return WriteFields<4>(stream, {U(data.t3.long0), U(data.t3.long1), U(data.t3.long2), FloatBits(data.s)});
}
bool T3LongIntAndSingleHolder::ReadFromStream(TStream& stream) {
  uint32_t f[4];
  if (!ReadFields(stream, f)) return false;
  data.t3.long0 = S(f[0]);
  data.t3.long1 = S(f[1]);
  data.t3.long2 = S(f[2]);
  data.s = BitsFloat(f[3]);
  return true;
}

bool TIntegerAnd3CardinalsHolder::SaveToStream(TStream& stream) {
  return WriteFields<4>(stream, {U(data.freq), data.value.card1, data.value.card2, data.value.card3});
}
bool TIntegerAnd3CardinalsHolder::ReadFromStream(TStream& stream) {
  uint32_t f[4];
  if (!ReadFields(stream, f)) return false;
  data.freq = S(f[0]);
  data.value.card1 = f[1];
  data.value.card2 = f[2];
  data.value.card3 = f[3];
  return true;
}

bool TCardinalAndFreqHolder::SaveToStream(TStream& stream) { return WriteFields<2>(stream, {data.c, U(data.f)}); }
bool TCardinalAndFreqHolder::ReadFromStream(TStream& stream) {
  uint32_t f[2];
  if (!ReadFields(stream, f)) return false;
  data.c = f[0];
  data.f = S(f[1]);
  return true;
}

bool T2StringsAnd2IntegersHolder::SaveToStream(TStream& stream) {
  const bool ok = WriteFields<2>(stream, {U(data.int1), U(data.int2)});
  WriteAString(stream, data.s1);
  WriteAString(stream, data.s2);
  return ok;
}
bool T2StringsAnd2IntegersHolder::ReadFromStream(TStream& stream) {
  uint32_t f[2];
  if (!ReadFields(stream, f)) return false;
  data.int1 = S(f[0]);
  data.int2 = S(f[1]);
  data.s1 = ReadAString(stream);
  data.s2 = ReadAString(stream);
  return true;
}

bool TStringTrueColumnAndColourHolder::SaveToStream(TStream& stream) {
  try {
    WriteFields<2>(stream, {U(data.true_column_number), U(data.background_colour)});
    return WriteAString(stream, data.s);
  } catch (...) {
    return false;
  }
}
bool TStringTrueColumnAndColourHolder::ReadFromStream(TStream& stream) {
  try {
    uint32_t f[2] = {U(data.true_column_number), U(data.background_colour)};
    ReadFields(stream, f);
    data.true_column_number = S(f[0]);
    data.background_colour = S(f[1]);
    data.s = ReadAString(stream);
    return true;
  } catch (...) {
    return false;
  }
}

}  // namespace kx8
