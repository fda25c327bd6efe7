#pragma once

// A row of segments of which one is chosen, like the results window's switch
// between the list, the grid and the cover flow.

#include <QStringList>
#include <QWidget>

class QButtonGroup;

class KvSegmentedControl : public QWidget {
    Q_OBJECT
public:
    explicit KvSegmentedControl(const QStringList& labels, QWidget* parent = nullptr);

    int segmentCount() const;
    // -1 while none is chosen.
    int selectedSegment() const;
    // Chooses without announcing it.
    void setSelectedSegment(int segment);

signals:
    // The user chose `segment`.
    void activated(int segment);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    QButtonGroup* group_;
};
