#pragma once

#include <QWidget>

#include <array>

class QLabel;

namespace tagsmith {

// The about screen: the program's name and version, the texts of its version information, the maker's
// texts and a few pictures.
class FrmTsInfo : public QWidget
{
    Q_OBJECT
public:
    explicit FrmTsInfo(QWidget *parent = nullptr);

    // 0 name and version (no Tag: it stays as set here), 1 comments, 2 company, 3 legal notice (Tag ids
    // 3030 to 3032); 4 to 10 the maker's texts by their Tag ids 1001 to 1007.
    std::array<QLabel *, 11> LblVeld{};
    std::array<QLabel *, 4> Image{};
};

} // namespace tagsmith
