// `lumivex-render guide`: the illustrated author's guide, written from the code's own tables (the
// presets, the options keys in their order, the shapes and emit areas of the editors, the
// LastError texts) so that it cannot drift from the code. One HTML page, DIR/index.html, plain
// HTML and CSS, with its pictures as files in DIR/img/: an animated GIF of every preset and of
// its variations, and of the options where a picture says more than words. Beside it
// DIR/playground.html, the playground: the engine built to WebAssembly plays any preset and
// options text live, with the modules it loads (lumivex_playground_simd.js, lumivex_playground.js).
#pragma once

#include <string>
#include <vector>

// args: --out DIR [--editors DIR] [--playground DIR] (--editors: a folder holding the editors'
// screenshots play.png, stop.png and advanced.png; those present are copied in, cropped to what
// differs from the screen's background. --playground: the folder of the playground's modules,
// build/wasm/bin of the source tree by default; the guide is not written without them). Exit status: 0, 1 when a file cannot be read or
// written, 2 for bad arguments.
int runGuide(const std::vector<std::string>& args);
