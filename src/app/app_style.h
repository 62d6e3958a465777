// The program's style: Fusion, except that the menu bar's overflow arrow is read when it is first
// shown instead of when the menu bar is made. Qt gives every menu bar an overflow button and reads
// its arrow from picture files at once; reading a picture file makes Qt load every image format
// plugin and the libraries they use. The window's menu bar never overflows.
#pragma once

class QStyle;

namespace tq50r::app {

QStyle* makeApplicationStyle();

} // namespace tq50r::app
