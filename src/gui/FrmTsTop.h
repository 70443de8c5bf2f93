#pragma once

#include <QWidget>

#include <array>

namespace tagsmith {

class PictureButton;

// The navigation bar across the top of the frame: the main options screen, the meta tag format
// screen, a run, the language switch, the about screen, and the end of the program.
class FrmTsTop : public QWidget
{
    Q_OBJECT
public:
    explicit FrmTsTop(QWidget *parent = nullptr);

    // 0 options, 1 meta tag format, 2 start a run, 3 language, 4 about, 5 exit.
    std::array<PictureButton *, 6> CmdKnop{};

    // Dutch to English or back: every text of every screen, and the button's pictures.
    void switchLanguage();

private:
    void cmdKnopClick(int index);
    void quitProgram();
};

} // namespace tagsmith
