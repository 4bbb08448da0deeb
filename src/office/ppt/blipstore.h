#pragma once
// The picture store (OfficeArt BStore): see blipstore.cpp.
