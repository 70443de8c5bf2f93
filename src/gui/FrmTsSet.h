#pragma once

#include "storage/SettingsTable.h"

#include <QWidget>

#include <array>

class QLabel;
class QLineEdit;
class QPushButton;

namespace tagsmith {

// The "Meta Tag format" screen: the eight template texts of the META lines, read from table Settings
// when the screen is created. The page writer takes them from these fields, so an edit made here
// applies to every run until the program ends or "Default" reads the table again. Nothing writes the
// table.
class FrmTsSet : public QWidget
{
    Q_OBJECT
public:
    explicit FrmTsSet(QWidget *parent = nullptr);

    // The eight template texts (see Templates for the role of each field).
    std::array<QLineEdit *, TemplateCount> TxtVeld{};
    // 0 Meta Description, 1 Meta Keywords, 2 Meta Robots, 3 Meta ReVisit after:, 4 Meta Generator.
    std::array<QLabel *, 5> LblVeld{};
    // 0 "Default": read the table again and lock; 1 "Change": unlock.
    std::array<QPushButton *, 2> CmdKnop{};

    // Locks the eight fields and reads the rows of Settings into them, in table order.
    void Inlezen();

    // The eight texts as they stand in the fields now.
    Templates templates() const;

private:
    void cmdKnopClick(int index);
};

} // namespace tagsmith
