#pragma once

namespace platform {

// The windows are laid out in twips, a twentieth of a typographic point:
// 15 twips to a pixel at 96 dots per inch. Converted to Qt's logical pixels,
// so high-DPI screens scale the same way as the rest of Qt.
constexpr int px(int twips) { return twips / 15; }
constexpr int twips(int pixels) { return pixels * 15; }

} // namespace platform
