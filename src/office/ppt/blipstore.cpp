#include "office/ppt/blipstore.h"
