#pragma once

namespace app {

// "qr512 plot FILE -o OUT.png|.svg|.pdf [--unit C|F|K] [--records R1:R2] [--range LOW:HIGH]
// [--size WxH]": the plot window's picture of a data file, drawn without a display.
// Exit status: 0 done, 2 bad file or option, 1 the image could not be written.
int runPlotCommand(int argc, char** argv);

} // namespace app
