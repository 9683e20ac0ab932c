// The entry of the X11 window test programs (the VST 2.4 editor's, the LV2
// UI's): every test on a host connection and frame of their own
// (tests/editor/x11_host.h), with the images the Linux libraries link in.
#include <gtest/gtest.h>

#include "tests/editor/editor_checks.h"

// Last: Xlib's macros (None, Bool, Status...) must not meet the headers above.
#include "tests/editor/x11_host.h"

editor_checks::Images& editor_checks::images(zem::Scale scale) {
    static Images loaded[zem::Scale::kCount];
    Images& images = loaded[scale.index()];
    if (!images.complete()) images = x11_host::linkedImages(scale);
    return images;
}

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (!x11_host::connect()) return 2;
    const int status = RUN_ALL_TESTS();
    XCloseDisplay(x11_host::host);
    return status;
}
