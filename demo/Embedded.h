// Data compiled into the server, so that it needs no file at run time (generated from resources/demo/).
#pragma once

#include <string_view>

namespace vantrel::demo {

std::string_view DemoMp3();   // resources/demo/nihao.mp3: espeak-ng saying "你好", MPEG layer III
std::string_view DemoJpeg();  // resources/demo/item.jpg: a 60x60 picture for every item image

}  // namespace vantrel::demo
