#pragma once
// The drawing commands of hx_globetool: a picture of layers, and a world
// texture made from a layer's land areas.
#include <string>
#include <vector>

// render sphere|cartesian|mercator W H S CLAT CLON OUT.png [--shadow UTC]
//        [--texture BMP] [--grid] LAYER...
// Answers the exit status; messages go to stderr.
int GlobeToolRender(const std::vector<std::string>& args);
// texture LAYER W H OUT.bmp
int GlobeToolTexture(const std::vector<std::string>& args);
// Writes an uncompressed 8-bit BMP: indices top row first, 256 colours as 0xRRGGBB.
bool WriteBmp8(const std::string& path, int w, int h, const std::vector<uint8_t>& topDown, const uint32_t* rgb);
