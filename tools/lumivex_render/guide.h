// `lumivex-render guide`: the illustrated author's guide, written from the code's own tables (the
// presets, the options keys in their order, the shapes and emit areas of the editors, the
// LastError texts) so that it cannot drift from the code. One HTML page, DIR/index.html, plain
// HTML and CSS, with its pictures as files in DIR/img/: an animated GIF of every preset and of
// its variations, and of the options where a picture says more than words.
#pragma once

#include <string>
#include <vector>

// args: --out DIR [--editors DIR] (a folder holding the editors' screenshots play.png, stop.png
// and advanced.png; those present are copied in, cropped to what differs from the screen's
// background). Exit status: 0, 1 when a file cannot be read or
// written, 2 for bad arguments.
int runGuide(const std::vector<std::string>& args);
