#include "signal/value_codec.hpp"

namespace wavesift::codec {

void encode_value(std::vector<uint8_t> &out, const ValueView &v) {
  switch (v.tag) {
  case Tag::Int:
    if (v.num < kSmallIntLimit) {
      out.push_back(static_cast<uint8_t>(v.num));
    } else {
      out.push_back(kInt);
      put_varint(out, v.num);
    }
    return;
  case Tag::Wide:
    out.push_back(kWide);
    put_varint(out, v.size);
    out.insert(out.end(), v.data, v.data + 8 * v.size);
    return;
  case Tag::Logic: {
    out.push_back(kLogic);
    put_varint(out, v.size);
    const size_t first = out.size();
    out.resize(first + (v.size + 3) / 4, 0);
    for (size_t k = 0; k < v.size; ++k)
      out[first + k / 4] |= static_cast<uint8_t>(static_cast<uint8_t>(v.bit(k)) << ((k % 4) * 2));
    return;
  }
  case Tag::Real: {
    out.push_back(kReal);
    uint8_t bytes[8];
    std::memcpy(bytes, &v.real, 8);
    out.insert(out.end(), bytes, bytes + 8);
    return;
  }
  case Tag::Text:
    out.push_back(kText);
    put_varint(out, v.size);
    out.insert(out.end(), v.data, v.data + v.size);
    return;
  case Tag::NoValue:
    out.push_back(kNoValue);
    return;
  }
}

ValueView decode_value(const uint8_t *&p) {
  ValueView v;
  const uint8_t h = *p++;
  if (h < kSmallIntLimit) {
    v.tag = Tag::Int;
    v.num = h;
    return v;
  }
  switch (h) {
  case kInt:
    v.tag = Tag::Int;
    v.num = get_varint(p);
    break;
  case kWide:
    v.tag = Tag::Wide;
    v.size = static_cast<uint32_t>(get_varint(p));
    v.data = p;
    p += 8 * v.size;
    break;
  case kLogic:
    v.tag = Tag::Logic;
    v.packed = true;
    v.size = static_cast<uint32_t>(get_varint(p));
    v.data = p;
    p += (v.size + 3) / 4;
    break;
  case kReal:
    v.tag = Tag::Real;
    std::memcpy(&v.real, p, 8);
    p += 8;
    break;
  case kText:
    v.tag = Tag::Text;
    v.size = static_cast<uint32_t>(get_varint(p));
    v.data = p;
    p += v.size;
    break;
  default:
    break; // kNoValue
  }
  return v;
}

size_t detail::encoded_size_long(const uint8_t *p) {
  const uint8_t *q = p;
  decode_value(q);
  return static_cast<size_t>(q - p);
}

} // namespace wavesift::codec
