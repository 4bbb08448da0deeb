#pragma once

// Record types and property ids of the PowerPoint binary format and of
// OfficeArt drawings, named as in [MS-PPT] and [MS-ODRAW].

#include <cstdint>

namespace office::ppt::rt {

// PowerPoint document records.
inline constexpr std::uint16_t Document = 0x03E8;
inline constexpr std::uint16_t DocumentAtom = 0x03E9;
inline constexpr std::uint16_t Slide = 0x03EE;
inline constexpr std::uint16_t SlideAtom = 0x03EF;
inline constexpr std::uint16_t Notes = 0x03F0;
inline constexpr std::uint16_t NotesAtom = 0x03F1;
inline constexpr std::uint16_t Environment = 0x03F2;
inline constexpr std::uint16_t SlidePersistAtom = 0x03F3;
inline constexpr std::uint16_t MainMaster = 0x03F8;
inline constexpr std::uint16_t ExObjList = 0x0409;
inline constexpr std::uint16_t PPDrawingGroup = 0x040B;
inline constexpr std::uint16_t PPDrawing = 0x040C;
inline constexpr std::uint16_t RoundTripHFPlaceholder12Atom = 0x0420;
inline constexpr std::uint16_t FontCollection = 0x07D5;
inline constexpr std::uint16_t SlideSchemeColorSchemeAtom = 0x07F0;
inline constexpr std::uint16_t ExObjRefAtom = 0x0BC1;
inline constexpr std::uint16_t OEPlaceholderAtom = 0x0BC3;
inline constexpr std::uint16_t OutlineTextRefAtom = 0x0F9E;
inline constexpr std::uint16_t TextHeaderAtom = 0x0F9F;
inline constexpr std::uint16_t TextCharsAtom = 0x0FA0;
inline constexpr std::uint16_t StyleTextPropAtom = 0x0FA1;
inline constexpr std::uint16_t TextCFExceptionAtom = 0x0FA4;
inline constexpr std::uint16_t TextBytesAtom = 0x0FA8;
inline constexpr std::uint16_t FontEntityAtom = 0x0FB7;
inline constexpr std::uint16_t CString = 0x0FBA;
inline constexpr std::uint16_t SlideListWithText = 0x0FF0;
inline constexpr std::uint16_t InteractiveInfo = 0x0FF2;
inline constexpr std::uint16_t InteractiveInfoAtom = 0x0FF3;
inline constexpr std::uint16_t UserEditAtom = 0x0FF5;
inline constexpr std::uint16_t CurrentUserAtom = 0x0FF6;
inline constexpr std::uint16_t ProgTags = 0x1388;
inline constexpr std::uint16_t ProgBinaryTag = 0x138A;
inline constexpr std::uint16_t BinaryTagDataBlob = 0x138B;
inline constexpr std::uint16_t PersistDirectoryAtom = 0x1772;
inline constexpr std::uint16_t Comment10 = 0x2EE0;

// OfficeArt records.
inline constexpr std::uint16_t DggContainer = 0xF000;
inline constexpr std::uint16_t BStoreContainer = 0xF001;
inline constexpr std::uint16_t DgContainer = 0xF002;
inline constexpr std::uint16_t SpgrContainer = 0xF003;
inline constexpr std::uint16_t SpContainer = 0xF004;
inline constexpr std::uint16_t FSPGR = 0xF009;
inline constexpr std::uint16_t FOPT = 0xF00B;
inline constexpr std::uint16_t FSP = 0xF00A;
inline constexpr std::uint16_t ClientTextbox = 0xF00D;
inline constexpr std::uint16_t ChildAnchor = 0xF00F;
inline constexpr std::uint16_t ClientAnchor = 0xF010;
inline constexpr std::uint16_t ClientData = 0xF011;
inline constexpr std::uint16_t SecondaryFOPT = 0xF121;
inline constexpr std::uint16_t TertiaryFOPT = 0xF122;

}  // namespace office::ppt::rt

namespace office::ppt::prop {

inline constexpr std::uint16_t gtextUNICODE = 0x00C0;
inline constexpr std::uint16_t gtextFont = 0x00C5;
inline constexpr std::uint16_t cropFromTop = 0x0100;
inline constexpr std::uint16_t cropFromBottom = 0x0101;
inline constexpr std::uint16_t cropFromLeft = 0x0102;
inline constexpr std::uint16_t cropFromRight = 0x0103;
inline constexpr std::uint16_t pib = 0x0104;
inline constexpr std::uint16_t pibName = 0x0105;
inline constexpr std::uint16_t pibFlags = 0x0106;
inline constexpr std::uint16_t fillType = 0x0180;
inline constexpr std::uint16_t fillColor = 0x0181;
inline constexpr std::uint16_t fillOpacity = 0x0182;
inline constexpr std::uint16_t fillBackColor = 0x0183;
inline constexpr std::uint16_t fillBackOpacity = 0x0184;
inline constexpr std::uint16_t fillBlip = 0x0186;
inline constexpr std::uint16_t fillShadeColors = 0x0197;
inline constexpr std::uint16_t FillStyleBooleanProperties = 0x01BF;
inline constexpr std::uint16_t tableProperties = 0x039F;

}  // namespace office::ppt::prop

// SlideListWithText instances: the document's three lists.
namespace office::ppt::list {

inline constexpr std::uint16_t Slides = 0;
inline constexpr std::uint16_t Masters = 1;
inline constexpr std::uint16_t Notes = 2;

}  // namespace office::ppt::list

namespace office::ppt::spt {

// OfficeArt shape types (FSP recInstance).
inline constexpr std::uint16_t Line = 20;
inline constexpr std::uint16_t PictureFrame = 75;
inline constexpr std::uint16_t FirstWordArt = 136;
inline constexpr std::uint16_t LastWordArt = 175;
inline constexpr std::uint16_t HostControl = 201;
inline constexpr std::uint16_t TextBox = 202;

}  // namespace office::ppt::spt
