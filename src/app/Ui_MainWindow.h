#ifndef UI_MAINWINDOW_H
#define UI_MAINWINDOW_H

class QGridLayout;
class QGroupBox;
class QHBoxLayout;
class QLineEdit;
class QMainWindow;
class QPushButton;
class QRadioButton;
class QSpacerItem;
class QVBoxLayout;
class QWidget;

// The main window's form: the widgets and layouts that setupUi creates on a window. The window
// owns every widget through Qt's parent ownership; this record only points at them.
class Ui_MainWindow
{
public:
    // Builds the form on the window, sets its texts and connects slots named after widgets.
    void setupUi(QMainWindow* MainWindow);

    // Sets every visible text through the translator, in the context "MainWindow".
    void retranslateUi(QMainWindow* MainWindow);

    QWidget* centralWidget = nullptr;
    QVBoxLayout* verticalLayout = nullptr;
    QGroupBox* groupBox = nullptr;
    QHBoxLayout* horizontalLayout = nullptr;
    QRadioButton* radioButton = nullptr;
    QGroupBox* groupBox_2 = nullptr;
    QGridLayout* gridLayout = nullptr;
    QRadioButton* radioButton_2 = nullptr;
    QRadioButton* radioButton_4 = nullptr;
    QRadioButton* radioButton_3 = nullptr;
    QRadioButton* radioButton_5 = nullptr;
    QGroupBox* groupBox_4 = nullptr;
    QGridLayout* gridLayout_3 = nullptr;
    QRadioButton* segment_PCS = nullptr;
    QRadioButton* segment_TSS = nullptr;
    QRadioButton* segment_PSS = nullptr;
    QRadioButton* segment_IOS = nullptr;
    QRadioButton* segment_OSS = nullptr;
    QGroupBox* groupBox_5 = nullptr;
    QHBoxLayout* horizontalLayout_2 = nullptr;
    QLineEdit* classpath = nullptr;
    QGroupBox* groupBox_7 = nullptr;
    QLineEdit* frameworkclasspath = nullptr;
    QGroupBox* groupBox_6 = nullptr;
    QHBoxLayout* horizontalLayout_5 = nullptr;
    QLineEdit* tssgoldfilename = nullptr;
    QGroupBox* groupBox_3 = nullptr;
    QHBoxLayout* horizontalLayout_4 = nullptr;
    QLineEdit* logdir = nullptr;
    QWidget* widget = nullptr;
    QHBoxLayout* horizontalLayout_3 = nullptr;
    QSpacerItem* horizontalSpacer = nullptr;
    QPushButton* btn_runtest = nullptr;
};

#endif
