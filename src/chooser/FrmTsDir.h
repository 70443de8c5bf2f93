#pragma once

#include <QWidget>

namespace tagsmith {

class FrmTsDir : public QWidget
{
    Q_OBJECT
public:
    explicit FrmTsDir(QWidget *parent = nullptr);
};

} // namespace tagsmith
