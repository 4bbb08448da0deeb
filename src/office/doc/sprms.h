#pragma once

// The property modifiers (Sprm) the writer uses, under their published
// names, and how a group of them (grpprl) is put together.

#include <QByteArray>
#include <cstdint>

namespace office::doc::sprm {

// Paragraph properties.
constexpr std::uint16_t sprmPFKeepFollow = 0x2406;
constexpr std::uint16_t sprmPDyaBefore = 0xA413;
constexpr std::uint16_t sprmPDyaAfter = 0xA414;
constexpr std::uint16_t sprmPOutLvl = 0x2640;
constexpr std::uint16_t sprmPFBiDi = 0x2441;

// Character properties.
constexpr std::uint16_t sprmCFBold = 0x0835;
constexpr std::uint16_t sprmCHps = 0x4A43;
constexpr std::uint16_t sprmCHpsKern = 0x484B;
constexpr std::uint16_t sprmCRgFtc0 = 0x4A4F;  // characters 0x00-0x7F
constexpr std::uint16_t sprmCRgFtc1 = 0x4A50;  // East Asian characters
constexpr std::uint16_t sprmCRgFtc2 = 0x4A51;  // all other characters
constexpr std::uint16_t sprmCFBiDi = 0x085A;
constexpr std::uint16_t sprmCFBoldBi = 0x085C;
constexpr std::uint16_t sprmCFtcBi = 0x4A5E;
constexpr std::uint16_t sprmCHpsBi = 0x4A61;
constexpr std::uint16_t sprmCFComplexScripts = 0x0882;

// Section properties.
constexpr std::uint16_t sprmSXaPage = 0xB01F;
constexpr std::uint16_t sprmSYaPage = 0xB020;
constexpr std::uint16_t sprmSDxaLeft = 0xB021;
constexpr std::uint16_t sprmSDxaRight = 0xB022;
constexpr std::uint16_t sprmSDyaTop = 0x9023;
constexpr std::uint16_t sprmSDyaBottom = 0x9024;

// The operand of a toggled property that turns it on.
constexpr std::uint8_t kOn = 1;

// A grpprl under construction; the operand size follows from the sprm.
class Grpprl {
 public:
  Grpprl &add(std::uint16_t sprm, std::uint16_t operand) {
    put(sprm);
    if (operandSize(sprm) == 1)
      bytes_.append(char(std::uint8_t(operand)));
    else
      put(operand);
    return *this;
  }
  const QByteArray &bytes() const { return bytes_; }

 private:
  // The spra field (bits 13-15) gives the operand's size: 0 and 1 one byte,
  // 2, 4 and 5 two bytes; the writer uses no others.
  static int operandSize(std::uint16_t sprm) { return (sprm >> 13) <= 1 ? 1 : 2; }
  void put(std::uint16_t v) {
    bytes_.append(char(std::uint8_t(v)));
    bytes_.append(char(std::uint8_t(v >> 8)));
  }
  QByteArray bytes_;
};

}  // namespace office::doc::sprm
