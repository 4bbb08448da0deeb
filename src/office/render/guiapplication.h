#pragma once

// Drawing a picture with text in it needs a QGuiApplication (fonts, the
// platform's font database). A program without one (the command-line
// extractor) gets an offscreen one the first time a picture is drawn; a
// program that has an application object already keeps it.

namespace office::render {

// Creates the offscreen application object unless one exists. Call it on
// the main thread before drawing.
void ensureGuiApplication();

}  // namespace office::render
