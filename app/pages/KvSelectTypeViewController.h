#pragma once

// The first page of the main window: which kinds of files to look for (the
// all-box selects the seven categories or none) and how to scan (the mode
// tiles). The page reports both to the main window through its signals.

#include <QStringList>
#include <QWidget>

#include <vector>

class QAbstractButton;
class QLabel;
class QOVCustemButton;
class QPushButton;
class TCImageButton;

class KvSelectTypeViewController : public QWidget {
    Q_OBJECT

public:
    // The seven category strings in mask order, "1" to "64".
    static QStringList allCategories();
    // The category mask of a selection: the bitwise OR of its strings' values.
    static int maskOf(const QStringList& categories);

    explicit KvSelectTypeViewController(QWidget* parent = nullptr);

    // The all-box: selects everything, or nothing when everything is selected.
    void allTypesButtonClick();
    // A category tile was pressed.
    void selectButtonClick(QOVCustemButton* tile);
    // A mode tile was pressed (tags 1 deleted, 2 formatted, 3 complete).
    void selectScanTypeButtonClick(int tag);
    // A mode radio button was pressed (tags 1 normal, 2 deep).
    void selectScanButton(int tag);
    void nextButtonAction();
    // Drops the "8" category (the main window, when the user comes back).
    void removeSelectOffice();
    // Adds a category tile that takes part in select-all and select-none.
    QOVCustemButton* buildTypeButton(const QString& icon, const QString& hoverIcon, int tag,
                                     const QRect& frame);

    int selectAllCount() const { return selectAllCount_; }
    void setSelectAllCount(int count) { selectAllCount_ = count; }
    const QStringList& selectArr() const { return selectArr_; }

    QPushButton* alltypesButton() const { return alltypesButton_; }
    TCImageButton* nextButton() const { return nextButton_; }
    TCImageButton* deleteButton() const { return deleteButton_; }
    TCImageButton* formatButton() const { return formatButton_; }
    TCImageButton* completeButton() const { return completeButton_; }
    TCImageButton* importButton() const { return importButton_; }
    QPushButton* quickButton() const { return quickButton_; }
    QPushButton* advancedButton() const { return advancedButton_; }
    // The picture the all-box shows now.
    const QString& allBoxImage() const { return allBoxImage_; }

signals:
    void nextButtonActionWithAllTypeArr(const QStringList& categories);
    void changeScanTypeWithNum(int mode);
    void isSelectOffice(int selected);
    void importButtonAction();

private:
    void changeAllSelectState(QOVCustemButton* tile);
    void setAllBoxImage(const QString& name);
    TCImageButton* makeButton(const QString& normal, const QString& active, const QString& hover,
                              const QString& disable, const QRect& frame);

    int selectAllCount_ = 0;
    QStringList selectArr_;
    QString allBoxImage_;
    QLabel* midlleLabel_;
    QPushButton* alltypesButton_;
    TCImageButton* nextButton_;
    TCImageButton* LabelTextButton_;
    TCImageButton* diskButton_;
    TCImageButton* deleteButton_;
    TCImageButton* formatButton_;
    TCImageButton* completeButton_;
    TCImageButton* importButton_;
    QPushButton* quickButton_;
    QPushButton* advancedButton_;
    std::vector<QOVCustemButton*> allTypeButton_;
};
