#pragma once
// The document's list of external objects (ExObjList): see exobjlist.cpp.
