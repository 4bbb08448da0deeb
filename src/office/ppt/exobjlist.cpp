#include "office/ppt/exobjlist.h"
