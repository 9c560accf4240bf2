// The playground page (tools/playground/playground.html), compiled into lumivex-render so that
// `guide` writes it with no file of the source tree at hand. The text is generated at configure
// time (playground_page.cpp.in).
#pragma once

extern const char* const PlaygroundPageHtml;
