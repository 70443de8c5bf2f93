#pragma once

#include <QObject>

namespace tagsmith {

// Puts every window of the program that X11 shows on the screen's default colormap.
//
// Qt's X11 platform gives each window it creates a colormap of its own, even for the screen's
// default visual. The pixels on the screen are the same either way, but programs that read the
// screen back by colormap (xwd, and the screenshot tools built like it) then treat the program's
// windows as a separate visual, and a window that lies wholly over another one of ours (the message,
// a tooltip, the drop-down list of a box) comes out as a black rectangle, until it is moved or reaches
// past the frame's edge. On the default colormap the windows are what they are: ordinary windows of
// the default visual.
class ScreenColormap : public QObject
{
public:
    // Watches the windows of the application from now on; does nothing on other platforms.
    static void install();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
};

} // namespace tagsmith
