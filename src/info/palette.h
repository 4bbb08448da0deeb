#pragma once

// The colours of the information windows. Their design fixes some colours
// (navy and black link and title text, a white help text box, grey and white
// engraved lines) and leaves the rest to the desktop; those fixed colours
// read only on the light face they were drawn for. So each window carries
// the whole light palette of its design, every role in every colour group,
// and a dark desktop palette cannot put a fixed dark text on a dark face or
// a desktop's white text into the white box.

#include <QPalette>

namespace info {

QPalette designPalette();

}  // namespace info
