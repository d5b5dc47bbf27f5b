#include "Ui_MainWindow.h"

#include <QCoreApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMainWindow>
#include <QMetaObject>
#include <QPushButton>
#include <QRadioButton>
#include <QSpacerItem>
#include <QVBoxLayout>
#include <QWidget>

namespace {

// Every layout of the form has the same spacing and margins.
void tidy(QLayout* layout)
{
    layout->setSpacing(6);
    layout->setContentsMargins(11, 11, 11, 11);
}

} // namespace

void Ui_MainWindow::setupUi(QMainWindow* MainWindow)
{
    if (MainWindow->objectName().isEmpty())
        MainWindow->setObjectName(QString::fromUtf8("MainWindow"));
    MainWindow->resize(701, 832);

    centralWidget = new QWidget(MainWindow);
    centralWidget->setObjectName(QString::fromUtf8("centralWidget"));
    verticalLayout = new QVBoxLayout(centralWidget);
    tidy(verticalLayout);
    verticalLayout->setObjectName(QString::fromUtf8("verticalLayout"));

    groupBox = new QGroupBox(centralWidget);
    groupBox->setObjectName(QString::fromUtf8("groupBox"));
    horizontalLayout = new QHBoxLayout(groupBox);
    tidy(horizontalLayout);
    horizontalLayout->setObjectName(QString::fromUtf8("horizontalLayout"));
    radioButton = new QRadioButton(groupBox);
    radioButton->setObjectName(QString::fromUtf8("radioButton"));
    radioButton->setChecked(true);
    horizontalLayout->addWidget(radioButton);
    verticalLayout->addWidget(groupBox);

    groupBox_2 = new QGroupBox(centralWidget);
    groupBox_2->setObjectName(QString::fromUtf8("groupBox_2"));
    gridLayout = new QGridLayout(groupBox_2);
    tidy(gridLayout);
    gridLayout->setObjectName(QString::fromUtf8("gridLayout"));
    radioButton_2 = new QRadioButton(groupBox_2);
    radioButton_2->setObjectName(QString::fromUtf8("radioButton_2"));
    radioButton_2->setChecked(true);
    gridLayout->addWidget(radioButton_2, 0, 0, 1, 1);
    radioButton_4 = new QRadioButton(groupBox_2);
    radioButton_4->setObjectName(QString::fromUtf8("radioButton_4"));
    radioButton_4->setEnabled(false);
    radioButton_4->setCheckable(false);
    gridLayout->addWidget(radioButton_4, 0, 1, 1, 1);
    radioButton_3 = new QRadioButton(groupBox_2);
    radioButton_3->setObjectName(QString::fromUtf8("radioButton_3"));
    radioButton_3->setEnabled(false);
    radioButton_3->setCheckable(false);
    gridLayout->addWidget(radioButton_3, 1, 0, 1, 1);
    radioButton_5 = new QRadioButton(groupBox_2);
    radioButton_5->setObjectName(QString::fromUtf8("radioButton_5"));
    radioButton_5->setEnabled(false);
    radioButton_5->setCheckable(false);
    gridLayout->addWidget(radioButton_5, 1, 1, 1, 1);
    verticalLayout->addWidget(groupBox_2);

    groupBox_4 = new QGroupBox(centralWidget);
    groupBox_4->setObjectName(QString::fromUtf8("groupBox_4"));
    gridLayout_3 = new QGridLayout(groupBox_4);
    tidy(gridLayout_3);
    gridLayout_3->setObjectName(QString::fromUtf8("gridLayout_3"));
    segment_PCS = new QRadioButton(groupBox_4);
    segment_PCS->setObjectName(QString::fromUtf8("segment_PCS"));
    gridLayout_3->addWidget(segment_PCS, 0, 0, 1, 1);
    segment_TSS = new QRadioButton(groupBox_4);
    segment_TSS->setObjectName(QString::fromUtf8("segment_TSS"));
    gridLayout_3->addWidget(segment_TSS, 0, 1, 1, 1);
    segment_PSS = new QRadioButton(groupBox_4);
    segment_PSS->setObjectName(QString::fromUtf8("segment_PSS"));
    gridLayout_3->addWidget(segment_PSS, 0, 2, 1, 1);
    segment_IOS = new QRadioButton(groupBox_4);
    segment_IOS->setObjectName(QString::fromUtf8("segment_IOS"));
    gridLayout_3->addWidget(segment_IOS, 1, 0, 1, 1);
    segment_OSS = new QRadioButton(groupBox_4);
    segment_OSS->setObjectName(QString::fromUtf8("segment_OSS"));
    gridLayout_3->addWidget(segment_OSS, 1, 1, 1, 1);
    verticalLayout->addWidget(groupBox_4);

    groupBox_5 = new QGroupBox(centralWidget);
    groupBox_5->setObjectName(QString::fromUtf8("groupBox_5"));
    horizontalLayout_2 = new QHBoxLayout(groupBox_5);
    tidy(horizontalLayout_2);
    horizontalLayout_2->setObjectName(QString::fromUtf8("horizontalLayout_2"));
    classpath = new QLineEdit(groupBox_5);
    classpath->setObjectName(QString::fromUtf8("classpath"));
    horizontalLayout_2->addWidget(classpath);
    verticalLayout->addWidget(groupBox_5);

    // This box has no layout: its line edit keeps a fixed place inside it.
    groupBox_7 = new QGroupBox(centralWidget);
    groupBox_7->setObjectName(QString::fromUtf8("groupBox_7"));
    frameworkclasspath = new QLineEdit(groupBox_7);
    frameworkclasspath->setObjectName(QString::fromUtf8("frameworkclasspath"));
    frameworkclasspath->setGeometry(QRect(20, 40, 643, 30));
    verticalLayout->addWidget(groupBox_7);

    groupBox_6 = new QGroupBox(centralWidget);
    groupBox_6->setObjectName(QString::fromUtf8("groupBox_6"));
    horizontalLayout_5 = new QHBoxLayout(groupBox_6);
    tidy(horizontalLayout_5);
    horizontalLayout_5->setObjectName(QString::fromUtf8("horizontalLayout_5"));
    tssgoldfilename = new QLineEdit(groupBox_6);
    tssgoldfilename->setObjectName(QString::fromUtf8("tssgoldfilename"));
    horizontalLayout_5->addWidget(tssgoldfilename);
    verticalLayout->addWidget(groupBox_6);

    groupBox_3 = new QGroupBox(centralWidget);
    groupBox_3->setObjectName(QString::fromUtf8("groupBox_3"));
    horizontalLayout_4 = new QHBoxLayout(groupBox_3);
    tidy(horizontalLayout_4);
    horizontalLayout_4->setObjectName(QString::fromUtf8("horizontalLayout_4"));
    logdir = new QLineEdit(groupBox_3);
    logdir->setObjectName(QString::fromUtf8("logdir"));
    horizontalLayout_4->addWidget(logdir);
    verticalLayout->addWidget(groupBox_3);

    widget = new QWidget(centralWidget);
    widget->setObjectName(QString::fromUtf8("widget"));
    horizontalLayout_3 = new QHBoxLayout(widget);
    tidy(horizontalLayout_3);
    horizontalLayout_3->setObjectName(QString::fromUtf8("horizontalLayout_3"));
    horizontalSpacer = new QSpacerItem(576, 20, QSizePolicy::Expanding, QSizePolicy::Minimum);
    horizontalLayout_3->addItem(horizontalSpacer);
    btn_runtest = new QPushButton(widget);
    btn_runtest->setObjectName(QString::fromUtf8("btn_runtest"));
    horizontalLayout_3->addWidget(btn_runtest);
    verticalLayout->addWidget(widget);

    MainWindow->setCentralWidget(centralWidget);

    retranslateUi(MainWindow);

    QMetaObject::connectSlotsByName(MainWindow);
}

void Ui_MainWindow::retranslateUi(QMainWindow* MainWindow)
{
    MainWindow->setWindowTitle(QCoreApplication::translate("MainWindow", "Java Conformance"));
    groupBox->setTitle(QCoreApplication::translate("MainWindow", "Programming Language"));
    radioButton->setText(QCoreApplication::translate("MainWindow", "Java (J2SE8+J2EE8)"));
    groupBox_2->setTitle(QCoreApplication::translate("MainWindow", "Operating System Profile"));
    radioButton_2->setText(QCoreApplication::translate("MainWindow", "General Purpose"));
    radioButton_4->setText(QCoreApplication::translate("MainWindow", "Safety Base"));
    radioButton_3->setText(QCoreApplication::translate("MainWindow", "Safety Extended"));
    radioButton_5->setText(QCoreApplication::translate("MainWindow", "Security"));
    groupBox_4->setTitle(QCoreApplication::translate("MainWindow", "Operating System Segment"));
    segment_PCS->setText(QCoreApplication::translate("MainWindow", "PCS"));
    segment_TSS->setText(QCoreApplication::translate("MainWindow", "TSS"));
    segment_PSS->setText(QCoreApplication::translate("MainWindow", "PSS"));
    segment_IOS->setText(QCoreApplication::translate("MainWindow", "IOS"));
    segment_OSS->setText(QCoreApplication::translate("MainWindow", "OSS"));
    groupBox_5->setTitle(QCoreApplication::translate("MainWindow", "Classpath"));
    groupBox_7->setTitle(
        QCoreApplication::translate("MainWindow", "Computing Framework Classpath"));
    groupBox_6->setTitle(QCoreApplication::translate("MainWindow", "TSS Gold Filename"));
    groupBox_3->setTitle(QCoreApplication::translate("MainWindow", "Log Directory"));
    btn_runtest->setText(QCoreApplication::translate("MainWindow", "Run Test"));
}
