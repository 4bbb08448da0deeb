#include "office/render/metafile/metafile.h"
