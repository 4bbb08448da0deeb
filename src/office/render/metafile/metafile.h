#pragma once
// Rendering of Windows metafiles (EMF, EMF+ dual, WMF) on QPainter: see metafile.cpp.
