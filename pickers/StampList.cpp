#include "StampList.h"

#include "platform/IniFile.h"
#include "platform/MessageDlg.h"
#include "platform/Picture.h"
#include "settings/TavelinSettings.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTreeWidget>

namespace {

constexpr int FlagRole = Qt::UserRole;
constexpr int NameColumnWidth = 290;
constexpr int FrameMargin = 2; // the clear rectangle around the preview

} // namespace

TStampList::TStampList(const QString& programFolder, QWidget* parent)
    : QGroupBox(QStringLiteral(" Images for stamping "), parent), ProgramDir(programFolder),
      lvImages(new QTreeWidget(this)), PrevImage(new QLabel), BtnAdd(new QPushButton("&Add", this)),
      BtnReplace(new QPushButton("&Replace", this)), BtnRemove(new QPushButton("Remo&ve", this)),
      CheckBox1(new QCheckBox("Transparent", this)) {
    setObjectName("GroupBox1");
    lvImages->setObjectName("lvImages");
    lvImages->setColumnCount(1);
    lvImages->setHeaderLabels({"Image name"});
    lvImages->setHeaderHidden(true);
    lvImages->setColumnWidth(0, NameColumnWidth);
    lvImages->setRootIsDecorated(false);
    lvImages->setSelectionMode(QAbstractItemView::SingleSelection);
    lvImages->setSelectionBehavior(QAbstractItemView::SelectRows);
    lvImages->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lvImages->setUniformRowHeights(true);
    // The selection stays visible when the list loses the focus.
    QPalette palette = lvImages->palette();
    palette.setColor(QPalette::Inactive, QPalette::Highlight,
                     palette.color(QPalette::Active, QPalette::Highlight));
    palette.setColor(QPalette::Inactive, QPalette::HighlightedText,
                     palette.color(QPalette::Active, QPalette::HighlightedText));
    lvImages->setPalette(palette);

    auto* frame = new QFrame(this);
    frame->setObjectName("PrevFrame");
    frame->setFrameShape(QFrame::Box);
    frame->setFixedSize(PreviewWidth + 2 * FrameMargin, PreviewHeight + 2 * FrameMargin);
    PrevImage->setParent(frame);
    PrevImage->setObjectName("PrevImage");
    PrevImage->setGeometry(FrameMargin, FrameMargin, PreviewWidth, PreviewHeight);
    PrevImage->setAlignment(Qt::AlignCenter);
    PrevImage->setAttribute(Qt::WA_TranslucentBackground);

    BtnAdd->setObjectName("BtnAdd");
    BtnReplace->setObjectName("BtnReplace");
    BtnRemove->setObjectName("BtnRemove");
    CheckBox1->setObjectName("CheckBox1");
    CheckBox1->setChecked(true);
    BtnReplace->setEnabled(false);
    BtnRemove->setEnabled(false);

    auto* grid = new QGridLayout(this);
    grid->addWidget(lvImages, 0, 0, 4, 1);
    grid->addWidget(frame, 0, 1, 1, 2, Qt::AlignCenter);
    grid->addWidget(CheckBox1, 1, 1, 1, 2);
    grid->addWidget(BtnAdd, 2, 1);
    grid->addWidget(BtnReplace, 2, 2);
    grid->addWidget(BtnRemove, 3, 1);
    lvImages->setMinimumWidth(NameColumnWidth + 4);
    lvImages->setFixedHeight(6 * lvImages->fontMetrics().height());

    OpenPictureDialog1.Title = "Load images";
    OpenPictureDialog1.Filter = TFileOpenDialog::PictureFilter();
    OpenPictureDialog1.Preview = true;

    connect(lvImages, &QTreeWidget::itemSelectionChanged, this, [this] { lvImagesChange(); });
    connect(BtnAdd, &QPushButton::clicked, this, [this] { RunGuarded([this] { BtnAddClick(); }, window()); });
    connect(BtnReplace, &QPushButton::clicked, this,
            [this] { RunGuarded([this] { BtnReplaceClick(); }, window()); });
    connect(BtnRemove, &QPushButton::clicked, this,
            [this] { RunGuarded([this] { BtnRemoveClick(); }, window()); });
    connect(CheckBox1, &QCheckBox::toggled, this, &TStampList::CheckBox1Click);
}

TStampList::~TStampList() = default;

int TStampList::Count() const {
    return lvImages->topLevelItemCount();
}

QString TStampList::Path(int index) const {
    return lvImages->topLevelItem(index)->text(0);
}

int TStampList::Flag(int index) const {
    return lvImages->topLevelItem(index)->data(0, FlagRole).toInt();
}

QTreeWidgetItem* TStampList::SelectedItem() const {
    const QList<QTreeWidgetItem*> selected = lvImages->selectedItems();
    return selected.isEmpty() ? nullptr : selected.first();
}

int TStampList::SelectedIndex() const {
    QTreeWidgetItem* item = SelectedItem();
    return item ? lvImages->indexOfTopLevelItem(item) : -1;
}

void TStampList::Clear() {
    const QSignalBlocker block(lvImages);
    lvImages->clear();
}

void TStampList::Append(const QString& path, int flag) {
    auto* item = new QTreeWidgetItem(lvImages, {path});
    item->setData(0, FlagRole, flag);
}

void TStampList::Select(int index) {
    const QSignalBlocker block(lvImages);
    lvImages->clearSelection();
    QTreeWidgetItem* item = index >= 0 && index < Count() ? lvImages->topLevelItem(index) : nullptr;
    lvImages->setCurrentItem(item);
    if (item) item->setSelected(true);
}

void TStampList::LoadFromSettings(const TIniFile& ini, const QString& section,
                                  const std::function<QString(int slot)>& defaultEntry) {
    Clear();
    for (int slot = 0; slot < TavelinSettings::StampSlots; ++slot) {
        const QString value =
            ini.ReadString(section, TavelinSettings::Keys::Image.At(slot).Name, defaultEntry(slot));
        const auto entry = TavelinSettings::ParseStampEntry(value, ProgramDir);
        // A slot naming a file that is gone is dropped; the next save closes the gap.
        if (entry && QFileInfo(entry->Path).isFile()) Append(entry->Path, entry->Flag);
    }
    Select(Count() > 0 ? 0 : -1);
    // Also with an empty list, so that no earlier showing's preview or buttons stay.
    lvImagesChange();
    OpenPictureDialog1.InitialDir = TavelinSettings::Keys::PictureDir.Read(ini, section);
}

void TStampList::SaveToSettings(TIniFile& ini, const QString& section) const {
    for (int slot = 0; slot < TavelinSettings::StampSlots; ++slot) {
        const QString value = slot < Count() ? Path(slot) + ';' + QString::number(Flag(slot)) : QString();
        TavelinSettings::Keys::Image.At(slot).Write(ini, section, value);
    }
    TavelinSettings::Keys::PictureDir.Write(ini, section, OpenPictureDialog1.InitialDir);
}

bool TStampList::AcceptDuplicate(const QString& path, const QTreeWidgetItem* except) const {
    for (int i = 0; i < Count(); ++i) {
        const QTreeWidgetItem* item = lvImages->topLevelItem(i);
        if (item != except && item->text(0).compare(path, Qt::CaseInsensitive) == 0)
            return MessageDlg("Image already loaded. Load another copy ?", mtConfirmation, mbYesNo,
                              window()) == mrYes;
    }
    return true;
}

void TStampList::UpdateAddButton() {
    BtnAdd->setEnabled(Count() < MaxImages);
}

void TStampList::FocusAfterEdit() {
    if (FocusTarget) FocusTarget->setFocus();
}

void TStampList::BtnAddClick() {
    if (Count() >= MaxImages) {
        MessageDlg("Maximum of 10 images loaded\rReplace or Delete images to continue", mtError, mbOK,
                   window());
        FocusAfterEdit();
        return;
    }
    if (!OpenPictureDialog1.Execute(window())) {
        FocusAfterEdit();
        return;
    }
    const QString path = OpenPictureDialog1.FileName;
    if (!AcceptDuplicate(path, nullptr)) return;
    Append(path, 1);
    Select(Count() - 1);
    lvImagesChange();
    if (QTreeWidgetItem* item = SelectedItem()) lvImages->scrollToItem(item);
    UpdateAddButton();
    FocusAfterEdit();
}

void TStampList::BtnReplaceClick() {
    QTreeWidgetItem* selected = SelectedItem();
    if (!selected) return;
    if (!OpenPictureDialog1.Execute(window())) {
        FocusAfterEdit();
        return;
    }
    const QString path = OpenPictureDialog1.FileName;
    if (!AcceptDuplicate(path, selected)) return;
    selected->setText(0, path);
    lvImagesChange();
    FocusAfterEdit();
}

void TStampList::BtnRemoveClick() {
    const int index = SelectedIndex();
    if (index < 0) return;
    {
        const QSignalBlocker block(lvImages);
        delete lvImages->takeTopLevelItem(index);
    }
    Select(index < Count() ? index : Count() > 0 ? 0 : -1);
    lvImagesChange();
    if (QTreeWidgetItem* item = SelectedItem()) lvImages->scrollToItem(item);
    UpdateAddButton();
    FocusAfterEdit();
}

void TStampList::CheckBox1Click(bool checked) {
    if (QTreeWidgetItem* item = SelectedItem()) item->setData(0, FlagRole, checked ? 1 : 0);
    ShowPreview();
}

void TStampList::lvImagesChange() {
    QTreeWidgetItem* item = SelectedItem();
    if (item && QFileInfo(item->text(0)).isFile()) {
        // Setting the box stores the flag as 0 or 1 when it changes the box.
        CheckBox1->setChecked(item->data(0, FlagRole).toInt() != 0);
        TPicture picture;
        try {
            picture.LoadFromFile(item->text(0));
            Preview = picture.Release();
            ShowPreview();
        } catch (const std::exception&) {
            // Read errors, invalid pictures and anything else that keeps the file from showing.
            RejectImage();
        }
    } else {
        ClearPreview();
    }
    const bool selected = SelectedItem() != nullptr;
    BtnReplace->setEnabled(selected);
    BtnRemove->setEnabled(selected);
}

void TStampList::RejectImage() {
    ApplicationMessageBox("Picture format not supported or invalid image file", "Tavelin error", mtError,
                          mbOK, window());
    if (QTreeWidgetItem* item = SelectedItem()) {
        const QSignalBlocker block(lvImages);
        delete item;
        lvImages->clearSelection();
        lvImages->setCurrentItem(nullptr);
    }
    ClearPreview();
    UpdateAddButton();
}

QRect TStampList::PreviewRect(int width, int height) {
    int w = width, h = height;
    if (w > PreviewWidth || h > PreviewHeight) {
        const double aspect = double(w) / h;
        if (w > h) {
            w = PreviewWidth;
            h = int(PreviewWidth / aspect);
            if (h > PreviewHeight) {
                h = PreviewHeight;
                w = int(PreviewHeight * aspect);
            }
        } else {
            h = PreviewHeight;
            w = int(PreviewHeight * aspect);
            if (w > PreviewWidth) {
                w = PreviewWidth;
                h = int(PreviewWidth / aspect);
            }
        }
    }
    return QRect((PreviewWidth - w) / 2, (PreviewHeight - h) / 2, w, h);
}

void TStampList::ShowPreview() {
    if (!Preview || Preview->Empty()) {
        PrevImage->clear();
        return;
    }
    Preview->SetTransparent(CheckBox1->isChecked());
    const QImage image = Preview->ToImage();
    const QRect area = PreviewRect(image.width(), image.height());
    PrevImage->setPixmap(
        QPixmap::fromImage(area.size() == image.size()
                               ? image
                               : image.scaled(area.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation)));
}

void TStampList::ClearPreview() {
    Preview.reset();
    PrevImage->clear();
}
