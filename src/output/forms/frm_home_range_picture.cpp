#include "output/forms/frm_home_range_picture.h"

#include "kernel/akde.h"
#include "output/estimator_table.h"
#include "output/mcp.h"
#include "output/pair_overlap.h"
#include "state/number_text.h"

#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QPainter>
#include <QSignalBlocker>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <array>
#include <cmath>

namespace ranvik {
namespace {

const QString kLevelsSentence =
    QStringLiteral("Levels must be percentages between 0 and 100, separated by commas.");

// Anchors of the viridis scale, a perceptually uniform map from dark blue-violet to yellow.
constexpr std::array<std::array<int, 3>, 9> kViridis = {{{68, 1, 84},
                                                         {71, 44, 122},
                                                         {59, 81, 139},
                                                         {44, 113, 142},
                                                         {33, 144, 141},
                                                         {39, 173, 129},
                                                         {92, 200, 99},
                                                         {170, 220, 50},
                                                         {253, 231, 37}}};

QColor Viridis(double t) {
    t = std::clamp(t, 0.0, 1.0) * (kViridis.size() - 1);
    const auto i = std::min(static_cast<std::size_t>(t), kViridis.size() - 2);
    const double f = t - static_cast<double>(i);
    const auto mix = [&](int c) {
        return static_cast<int>(std::lround(kViridis[i][static_cast<std::size_t>(c)] * (1 - f) +
                                            kViridis[i + 1][static_cast<std::size_t>(c)] * f));
    };
    return {mix(0), mix(1), mix(2)};
}

// The outlines of the minimum convex polygons: dashed, in a red that the viridis scale and
// the white isopleths do not use.
const QColor kMcpColour(230, 60, 40);

// The outlines of a second animal's home ranges: a magenta that neither the scale, the white
// isopleths nor the polygons' red use.
const QColor kSecondColour(255, 70, 230);

// The pens of the home range levels' outlines, in the order of the levels.
constexpr Qt::PenStyle kLevelStyles[] = {Qt::SolidLine, Qt::DashLine, Qt::DotLine};

QString Number(double value) {
    return QString::fromStdString(FormatNumber(value));
}

// Appends a row of the areas table: the level, the count of what it holds, and its area in
// map units and, when they are metres, in hectares and square kilometres.
// A row of the areas table; an area with a 95% interval (of `effective_n` degrees of freedom)
// shows it in the last column, in the area's units.
QTableWidgetItem* AddAreaRow(QTableWidget& table, const QString& level, const QString& count,
                             double area, bool metres,
                             std::optional<double> effective_n = std::nullopt) {
    const int row = table.rowCount();
    table.insertRow(row);
    QString interval = QStringLiteral("-");
    if (effective_n) {
        const AreaInterval a = AreaWithInterval(area, *effective_n);
        interval = Number(RoundHalfEven(a.low, 2)) + QStringLiteral(" - ") +
                   Number(RoundHalfEven(a.high, 2));
    }
    const QString cells[] = {level,
                             count,
                             Number(RoundHalfEven(area, 2)),
                             metres ? Number(RoundHalfEven(area / 1e4, 4)) : QStringLiteral("-"),
                             metres ? Number(RoundHalfEven(area / 1e6, 6)) : QStringLiteral("-"),
                             interval};
    for (int c = 0; c < 6; ++c) {
        table.setItem(row, c, new QTableWidgetItem(cells[c]));
    }
    return table.item(row, 0);
}

struct Waiting {
    QString name;
    const Matrix* grid;
    const Matrix* locations;
    const EstimatorRow* row;
};

// The results waiting to be saved, in the order the wizard lists them, each with the
// locations it was made from.
std::vector<Waiting> WaitingResults(const Session& session) {
    const LoadedData& loaded = session.loaded();
    static const Matrix none; // no locations of the kind loaded
    std::vector<Waiting> results;
    for (const EstimatorRow* row : WizardRows(Estimators())) {
        const Matrix* grid = session.WaitingGrid(row->name);
        if (grid == nullptr) {
            continue;
        }
        const Matrix* locations = &none;
        if (row->data == EstimatorData::Track && loaded.track) {
            locations = &loaded.track->sorted;
        } else if (row->data == EstimatorData::Locations && loaded.locations) {
            locations = &loaded.locations->xy;
        }
        results.push_back({QString::fromUtf8(row->listed_as.data(),
                                             static_cast<qsizetype>(row->listed_as.size())),
                           grid, locations, row});
    }
    return results;
}

// The other animals of the table the result's locations came from, when its estimator can be
// made on a shared lattice from independent locations, or from a track alone (the
// autocorrelated kernel, whose movement model is fitted to each animal; the bridges would need
// their options again); else none.
const TableAnimals* OthersOf(const Session& session, const EstimatorRow& row) {
    const LoadedData& loaded = session.loaded();
    if (!row.on_lattice) {
        return nullptr;
    }
    const bool locations = row.data == EstimatorData::Locations && loaded.locations;
    const bool track = row.data == EstimatorData::Track && row.select_movement && loaded.track;
    const auto& table = locations ? loaded.locations_table : loaded.track_table;
    if ((!locations && !track) || !table || table->names.empty()) {
        return nullptr;
    }
    return &*table;
}

// The levels typed, as fractions, or none when one is not a percentage in (0, 100].
std::optional<std::vector<double>> LevelsOf(const QString& text) {
    std::vector<double> levels;
    for (const QString& part : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const auto percent = ParseNumber(part.trimmed().toStdString());
        if (!percent || *percent <= 0 || *percent > 100) {
            return std::nullopt;
        }
        levels.push_back(*percent / 100);
    }
    return levels;
}

// The edges in map coordinates between the cells of a grid inside its `level` home range
// (volume level at most `level`) and those outside it.
std::vector<QLineF> RangeEdges(const GridLattice& lattice, const VolumeLevels& volume,
                               double level) {
    const auto inside = [&](std::int32_t i, std::int32_t j) {
        return i >= 0 && j >= 0 && i < lattice.columns && j < lattice.rows &&
               volume.level[static_cast<std::size_t>(i * lattice.rows + j)] <= level;
    };
    std::vector<QLineF> edges;
    for (std::int32_t i = 0; i < lattice.columns; ++i) {
        for (std::int32_t j = 0; j < lattice.rows; ++j) {
            if (!inside(i, j)) {
                continue;
            }
            const double left = lattice.x0 + (i - 0.5) * lattice.dx;
            const double right = left + lattice.dx;
            const double bottom = lattice.y0 + (j - 0.5) * lattice.dy;
            const double top = bottom + lattice.dy;
            if (!inside(i - 1, j)) {
                edges.emplace_back(left, bottom, left, top);
            }
            if (!inside(i + 1, j)) {
                edges.emplace_back(right, bottom, right, top);
            }
            if (!inside(i, j - 1)) {
                edges.emplace_back(left, bottom, right, bottom);
            }
            if (!inside(i, j + 1)) {
                edges.emplace_back(left, top, right, top);
            }
        }
    }
    return edges;
}

// Appends the rows of one level's indices: HR and PHR each way, then VI, BA and UDOI. Each
// value is shown to six decimals and kept whole in the item's Qt::UserRole.
void AddOverlapRows(QTableWidget& table, double level, const QString& a, const QString& b,
                    const OverlapIndices& o) {
    const QString both = a + QStringLiteral(", ") + b;
    const QString ab = a + QStringLiteral(" in ") + b;
    const QString ba = b + QStringLiteral(" in ") + a;
    const struct {
        const char* index;
        QString pair;
        double value;
    } rows[] = {{"HR", ab, o.hr_ab},   {"HR", ba, o.hr_ba}, {"PHR", ab, o.phr_ab},
                {"PHR", ba, o.phr_ba}, {"VI", both, o.vi},  {"BA", both, o.ba},
                {"UDOI", both, o.udoi}};
    for (const auto& r : rows) {
        const int row = table.rowCount();
        table.insertRow(row);
        table.setItem(row, 0, new QTableWidgetItem(Number(100 * level) + QStringLiteral(" %")));
        table.setItem(row, 1, new QTableWidgetItem(QString::fromLatin1(r.index)));
        table.setItem(row, 2, new QTableWidgetItem(r.pair));
        auto* value = new QTableWidgetItem(Number(RoundHalfEven(r.value, 6)));
        value->setData(Qt::UserRole, r.value);
        table.setItem(row, 3, value);
    }
}

} // namespace

UDPicture::UDPicture(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("PicUD"));
    setMinimumSize(420, 360);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Base);
}

void UDPicture::SetContent(const Matrix& grid, const GridLattice& lattice,
                           const VolumeLevels& volume, const Matrix& locations, std::int32_t count,
                           std::vector<double> levels) {
    lattice_ = lattice;
    volume_ = volume.level;
    levels_ = std::move(levels);
    double top = 0.0;
    const std::int32_t cells = lattice.columns * lattice.rows;
    for (std::int32_t k = 0; k < cells; ++k) {
        top = std::max(top, grid(k, 2));
    }
    cells_ = QImage(lattice.columns, lattice.rows, QImage::Format_RGB32);
    for (std::int32_t i = 0; i < lattice.columns; ++i) {
        for (std::int32_t j = 0; j < lattice.rows; ++j) {
            const double p = grid(i * lattice.rows + j, 2);
            cells_.setPixelColor(i, lattice.rows - 1 - j, Viridis(top > 0 ? p / top : 0));
        }
    }
    locations_.clear();
    for (std::int32_t i = 0; i < count && i < locations.Rows(); ++i) {
        locations_.emplace_back(locations(i, 0), locations(i, 1));
    }
    mcps_.clear();
    second_.clear();
    second_name_.clear();
    update();
}

void UDPicture::SetSecondOutlines(std::vector<std::vector<QLineF>> levels, QString name) {
    second_ = std::move(levels);
    second_name_ = std::move(name);
    update();
}

void UDPicture::SetMcpOutlines(std::vector<std::vector<QPointF>> rings) {
    mcps_ = std::move(rings);
    update();
}

UDPicture::MapView UDPicture::View() const {
    // The grid's cells and, when another animal's outlines are drawn, as much more on each side
    // as they reach beyond the grid.
    const double map_w = lattice_.columns * lattice_.dx;
    const double map_h = lattice_.rows * lattice_.dy;
    const double gx0 = lattice_.x0 - lattice_.dx / 2;
    const double gy1 = lattice_.y0 + (lattice_.rows - 0.5) * lattice_.dy;
    double west = 0.0, east = 0.0, north = 0.0, south = 0.0;
    for (const std::vector<QLineF>& level : second_) {
        for (const QLineF& edge : level) {
            for (const QPointF& p : {edge.p1(), edge.p2()}) {
                west = std::max(west, gx0 - p.x());
                east = std::max(east, p.x() - (gx0 + map_w));
                north = std::max(north, p.y() - gy1);
                south = std::max(south, (gy1 - map_h) - p.y());
            }
        }
    }
    // Room for the legend on the right; the map keeps its proportions.
    const QRectF room(8, 8, width() - 120, height() - 16);
    const double view_w = west + map_w + east;
    const double view_h = north + map_h + south;
    MapView view;
    view.scale = std::min(room.width() / view_w, room.height() / view_h);
    view.x0 = gx0 - west;
    view.y1 = gy1 + north;
    view.left = room.left();
    view.top = room.top();
    view.whole = QRectF(room.left(), room.top(), view_w * view.scale, view_h * view.scale);
    view.grid = QRectF(room.left() + west * view.scale, room.top() + north * view.scale,
                       map_w * view.scale, map_h * view.scale);
    return view;
}

void UDPicture::DrawRanges(QPainter& painter, const QRectF& target) const {
    const double cw = target.width() / lattice_.columns;
    const double ch = target.height() / lattice_.rows;
    const auto inside = [this](std::int32_t i, std::int32_t j, double level) {
        if (i < 0 || j < 0 || i >= lattice_.columns || j >= lattice_.rows) {
            return false;
        }
        return volume_[static_cast<std::size_t>(i * lattice_.rows + j)] <= level;
    };
    for (std::size_t l = 0; l < levels_.size(); ++l) {
        painter.setPen(QPen(Qt::white, 1.5, kLevelStyles[l % 3]));
        const double level = levels_[l];
        for (std::int32_t i = 0; i < lattice_.columns; ++i) {
            for (std::int32_t j = 0; j < lattice_.rows; ++j) {
                if (!inside(i, j, level)) {
                    continue;
                }
                const double left = target.left() + i * cw;
                const double top = target.top() + (lattice_.rows - 1 - j) * ch;
                if (!inside(i - 1, j, level)) {
                    painter.drawLine(QPointF(left, top), QPointF(left, top + ch));
                }
                if (!inside(i + 1, j, level)) {
                    painter.drawLine(QPointF(left + cw, top), QPointF(left + cw, top + ch));
                }
                if (!inside(i, j + 1, level)) {
                    painter.drawLine(QPointF(left, top), QPointF(left + cw, top));
                }
                if (!inside(i, j - 1, level)) {
                    painter.drawLine(QPointF(left, top + ch), QPointF(left + cw, top + ch));
                }
            }
        }
    }
}

void UDPicture::DrawLegend(QPainter& painter) const {
    // The colour scale, then a line for each level, the MCP and the other animal.
    const QRectF bar(width() - 100, 16, 18, height() * 0.5);
    for (int y = 0; y < static_cast<int>(bar.height()); ++y) {
        painter.setPen(Viridis(1.0 - y / bar.height()));
        painter.drawLine(QPointF(bar.left(), bar.top() + y), QPointF(bar.right(), bar.top() + y));
    }
    painter.setPen(palette().color(QPalette::Text));
    painter.drawText(QPointF(bar.right() + 6, bar.top() + 10), QStringLiteral("high"));
    painter.drawText(QPointF(bar.right() + 6, bar.bottom()), QStringLiteral("low"));
    for (std::size_t l = 0; l < levels_.size(); ++l) {
        const double y = bar.bottom() + 24 + 18 * static_cast<double>(l);
        painter.setPen(QPen(palette().color(QPalette::Text), 1.5, kLevelStyles[l % 3]));
        painter.drawLine(QPointF(bar.left(), y), QPointF(bar.left() + 24, y));
        painter.drawText(QPointF(bar.left() + 30, y + 4),
                         Number(100 * levels_[l]) + QStringLiteral(" %"));
    }
    if (!mcps_.empty()) {
        const double y = bar.bottom() + 24 + 18 * static_cast<double>(levels_.size());
        painter.setPen(QPen(kMcpColour, 1.5, Qt::DashLine));
        painter.drawLine(QPointF(bar.left(), y), QPointF(bar.left() + 24, y));
        painter.setPen(palette().color(QPalette::Text));
        painter.drawText(QPointF(bar.left() + 30, y + 4), QStringLiteral("MCP"));
    }
    if (!second_.empty()) {
        const double y =
            bar.bottom() + 24 + 18 * static_cast<double>(levels_.size() + (mcps_.empty() ? 0 : 1));
        painter.setPen(QPen(kSecondColour, 1.5));
        painter.drawLine(QPointF(bar.left(), y), QPointF(bar.left() + 24, y));
        painter.setPen(palette().color(QPalette::Text));
        painter.drawText(QPointF(bar.left() + 30, y + 4), second_name_);
    }
}

void UDPicture::paintEvent(QPaintEvent*) {
    if (cells_.isNull()) {
        return;
    }
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const MapView view = View();
    const auto on_screen = [&view](const QPointF& p) {
        return QPointF(view.left + (p.x() - view.x0) * view.scale,
                       view.top + (view.y1 - p.y()) * view.scale);
    };
    if (!second_.empty()) {
        // Beyond the grid the shown distribution is 0: the colour of the bottom of its scale.
        painter.fillRect(view.whole, Viridis(0));
    }
    painter.drawImage(view.grid, cells_);
    DrawRanges(painter, view.grid);
    painter.setPen(QPen(kMcpColour, 1.5, Qt::DashLine));
    for (const std::vector<QPointF>& ring : mcps_) {
        QPolygonF outline;
        for (const QPointF& p : ring) {
            outline << on_screen(p);
        }
        painter.drawPolyline(outline);
    }
    for (std::size_t l = 0; l < second_.size(); ++l) {
        painter.setPen(QPen(kSecondColour, 1.5, kLevelStyles[l % 3]));
        for (const QLineF& edge : second_[l]) {
            painter.drawLine(on_screen(edge.p1()), on_screen(edge.p2()));
        }
    }
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(Qt::white);
    for (const QPointF& p : locations_) {
        painter.drawEllipse(on_screen(p), 2.5, 2.5);
    }
    DrawLegend(painter);
}

FrmHomeRangePicture::FrmHomeRangePicture(Navigator& wizard)
    : WizardForm(wizard, "FrmHomeRangePicture") {
    setWindowTitle(QStringLiteral("Home Range Picture"));
    result_combo = new QComboBox(this);
    result_combo->setObjectName(QStringLiteral("CmboResult"));
    for (const Waiting& w : WaitingResults(wizard_.session())) {
        result_combo->addItem(w.name);
    }
    metres_check = Check("ChkMetres", QStringLiteral("Coordinates are in metres"));
    metres_check->setChecked(wizard_.session().loaded().file.projection_in_metres);
    levels_box = Text("TxtLevels", QStringLiteral("50, 95"));
    connect(levels_box, &QLineEdit::editingFinished, this, [this] { Refresh(); });
    total_label = Label("LabelTotal", {}, true);
    ud_picture = new UDPicture(this);
    areas_table = new QTableWidget(0, 6, this);
    areas_table->setObjectName(QStringLiteral("TableAreas"));
    areas_table->setHorizontalHeaderLabels({QStringLiteral("Level"), QStringLiteral("Cells"),
                                            QStringLiteral("Area (map units²)"),
                                            QStringLiteral("Hectares"), QStringLiteral("km²"),
                                            QStringLiteral("95 % interval (map units²)")});
    areas_table->horizontalHeader()->setStretchLastSection(true);
    areas_table->setMaximumHeight(190); // four levels with their MCP rows
    auto* copy = Button("CmdCopy", QStringLiteral("Copy"), [this] { CmdCopy_Click(); });
    auto* save = Button("CmdSavePicture", QStringLiteral("Save Picture..."),
                        [this] { CmdSavePicture_Click(); });
    auto* close = Button("CmdClose", QStringLiteral("Close"), [this] { hide(); });
    second_label = Label("LblSecondAnimal", QStringLiteral("Another animal of the table:"));
    second_combo = new QComboBox(this);
    second_combo->setObjectName(QStringLiteral("ComboSecondAnimal"));
    add_animal_button =
        Button("CmdAddAnimal", QStringLiteral("Add animal"), [this] { CmdAddAnimal_Click(); });
    overlap_table = new QTableWidget(0, 4, this);
    overlap_table->setObjectName(QStringLiteral("LstOverlap"));
    overlap_table->setHorizontalHeaderLabels({QStringLiteral("Level"), QStringLiteral("Index"),
                                              QStringLiteral("Animals"), QStringLiteral("Value")});
    overlap_table->horizontalHeader()->setStretchLastSection(true);
    overlap_table->setMaximumHeight(190);
    connect(result_combo, &QComboBox::currentIndexChanged, this, [this] { Refresh(); });
    connect(metres_check, &QCheckBox::toggled, this, [this] { Refresh(); });
    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel(QStringLiteral("Result:"), this));
    top->addWidget(result_combo, 1);
    top->addWidget(new QLabel(QStringLiteral("Levels (%):"), this));
    top->addWidget(levels_box);
    top->addWidget(metres_check);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(ud_picture, 1);
    layout->addWidget(total_label);
    layout->addWidget(areas_table);
    auto* second = new QHBoxLayout;
    second->addWidget(second_label);
    second->addWidget(second_combo, 1);
    second->addWidget(add_animal_button);
    layout->addLayout(second);
    layout->addWidget(overlap_table);
    layout->addLayout(ButtonRow({copy, save, close}));
    resize(640, 700);
    Refresh();
}

void FrmHomeRangePicture::CmboResult_Changed() {
    Refresh();
}

void FrmHomeRangePicture::ShowOtherAnimals(const QStringList& names) {
    QStringList listed;
    for (int k = 0; k < second_combo->count(); ++k) {
        listed << second_combo->itemText(k);
    }
    if (listed != names) {
        const QSignalBlocker quiet(second_combo);
        second_combo->clear();
        second_combo->addItems(names);
    }
    for (QWidget* control :
         {static_cast<QWidget*>(second_label), static_cast<QWidget*>(second_combo),
          static_cast<QWidget*>(add_animal_button), static_cast<QWidget*>(overlap_table)}) {
        control->setVisible(!names.isEmpty());
    }
}

void FrmHomeRangePicture::Refresh() {
    areas_table->setRowCount(0);
    // The overlaps listed were those of the result and levels shown before.
    overlap_table->setRowCount(0);
    const auto results = WaitingResults(wizard_.session());
    const int index = result_combo->currentIndex();
    if (index < 0 || index >= static_cast<int>(results.size())) {
        total_label->setText(QStringLiteral("No result waits to be saved."));
        ShowOtherAnimals({});
        return;
    }
    const Waiting& w = results[static_cast<std::size_t>(index)];
    QStringList others;
    if (const TableAnimals* table = OthersOf(wizard_.session(), *w.row)) {
        for (const std::string& name : table->names) {
            others << QString::fromStdString(name);
        }
    }
    ShowOtherAnimals(others);
    // A grid and its locations each carry their own count (their rows but the spare one).
    const std::int32_t count = std::max(w.grid->Rows() - 1, 0);
    const auto lattice = LatticeOf(*w.grid, count);
    if (!lattice.Ok()) {
        total_label->setText(QString::fromStdString(lattice.status.error));
        return;
    }
    const VolumeLevels volume = CalcVolumeLevels(*w.grid, count);
    const auto typed = LevelsOf(levels_box->text());
    if (!typed) {
        total_label->setText(kLevelsSentence);
        return;
    }
    const std::vector<double>& levels = *typed;
    std::vector<double> percents; // the levels as typed
    for (const QString& part : levels_box->text().split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        percents.push_back(ParseNumber(part.trimmed().toStdString()).value_or(0.0));
    }
    ud_picture->SetContent(*w.grid, lattice.value, volume, *w.locations,
                           std::max(w.locations->Rows() - 1, 0), levels);
    QString total = QStringLiteral("Levels are relative to the grid's total probability of ") +
                    Number(RoundHalfEven(100 * volume.total, 2)) + QStringLiteral(" %.");
    if (volume.total < 0.99) {
        total += QStringLiteral(" The grid holds less than 99 % of the distribution, so the "
                                "areas are understated.");
    }
    total_label->setText(total);
    const bool metres = metres_check->isChecked();
    QStringList problems;
    for (const double level : levels) {
        const auto a =
            CalcHomeRangeArea(*w.grid, count, volume, lattice.value.dx, lattice.value.dy, level);
        if (!a.Ok()) {
            problems << QString::fromStdString(a.status.error);
            continue;
        }
        const EstimatorResult* result = wizard_.session().Result(w.row->name);
        AddAreaRow(*areas_table, Number(100 * level) + QStringLiteral(" %"),
                   QString::number(a.value.cells), a.value.area, metres,
                   result != nullptr ? result->effective_n : std::nullopt);
    }
    // The minimum convex polygons of the result's own locations (a bridge's sorted fixes),
    // which count their rows but the spare one, as the grid does.
    const std::int32_t located = std::max(w.locations->Rows() - 1, 0);
    if (located >= 3) {
        std::vector<std::vector<QPointF>> outlines;
        for (const double percent : percents) {
            const auto mcp = CalcMcp(*w.locations, located, percent);
            if (!mcp.Ok()) {
                problems << QString::fromStdString(mcp.status.error);
                continue;
            }
            auto& outline = outlines.emplace_back();
            for (const auto& [x, y] : mcp.value.ring) {
                outline.emplace_back(x, y);
            }
            QTableWidgetItem* level = AddAreaRow(
                *areas_table, QStringLiteral("MCP ") + Number(percent) + QStringLiteral(" %"),
                QStringLiteral("-"), mcp.value.area, metres);
            level->setToolTip(QStringLiteral("The convex hull of the ") +
                              QString::number(mcp.value.locations) + QStringLiteral(" of ") +
                              QString::number(located) +
                              QStringLiteral(" locations nearest their centroid"));
        }
        ud_picture->SetMcpOutlines(std::move(outlines));
    }
    if (!problems.isEmpty()) {
        total_label->setText(total_label->text() + QLatin1Char('\n') +
                             problems.join(QLatin1Char('\n')));
    }
}

void FrmHomeRangePicture::CmdCopy_Click() {
    QGuiApplication::clipboard()->setImage(ud_picture->grab().toImage());
}

void FrmHomeRangePicture::CmdSavePicture_Click() {
    const QString path = wizard_.dialogs().SaveFileName(
        this, QStringLiteral("PNG pictures (*.png)|*.png"), QString());
    if (path.isEmpty()) {
        return;
    }
    if (!ud_picture->grab().save(path, "PNG")) {
        Message(QStringLiteral("Could not save the picture to ") + path);
    }
}

void FrmHomeRangePicture::CmdAddAnimal_Click() {
    const Session& session = wizard_.session();
    const auto results = WaitingResults(session);
    const int index = result_combo->currentIndex();
    if (index < 0 || index >= static_cast<int>(results.size())) {
        return;
    }
    const Waiting& w = results[static_cast<std::size_t>(index)];
    const TableAnimals* table = OthersOf(session, *w.row);
    const int other = second_combo->currentIndex();
    if (table == nullptr || other < 0 || other >= static_cast<int>(table->names.size())) {
        Message(QStringLiteral("Choose another animal of the table."));
        return;
    }
    const auto levels = LevelsOf(levels_box->text());
    if (!levels || levels->empty()) {
        Message(kLevelsSentence);
        return;
    }
    // Both animals as the shown result was made: the same smoothing parameter for the kernels,
    // their own weights in a bias-corrected run; for the autocorrelated kernel the first animal
    // under the model it was made under, the second under the one AICc selects for it.
    const bool weighted = session.choices().BiasCorrected == 1 && w.row->weighted;
    const auto input_of = [&session, weighted](const IndependentLocations& locations) {
        EstimatorInput input{locations.xy, locations.count};
        input.weights = weighted ? &locations.weights : nullptr;
        input.h = session.choices().KernelH;
        return input;
    };
    const auto o = static_cast<std::size_t>(other);
    const bool track = w.row->data == EstimatorData::Track;
    const EstimatorInput first = track
                                     ? EstimatorInput{session.track().sorted, session.track().count}
                                     : input_of(session.locations());
    const EstimatorInput second =
        track ? EstimatorInput{table->tracks[o].sorted, table->tracks[o].count}
              : input_of(table->locations[o]);
    const std::string model = track ? session.choices().AkdeModel : std::string();
    const QString a = QString::fromStdString(table->loaded);
    const QString b = second_combo->currentText();
    StatusOr<PairOverlap> pair;
    RunLong(
        QStringLiteral("Computing how ") + a + QStringLiteral(" and ") + b +
            QStringLiteral(" overlap"),
        [&](const RunControl& control, Notifier& notifier) {
            EstimatorInput mine = first;
            RunControl rest = control;
            if (!model.empty()) {
                auto fit = FitNamedMovementModel(MovementDataOf(first.xy, first.n), model,
                                                 control.Share(0.0, 0.25));
                if (!fit.Ok()) {
                    return fit.status;
                }
                mine.movement = std::move(fit.value);
                rest = control.Share(0.25, 1.0);
            }
            pair = OverlapOfPair(*w.row, mine, second, *levels, notifier, rest);
            return pair.status;
        },
        [&] {
            overlap_table->setRowCount(0);
            for (std::size_t l = 0; l < levels->size(); ++l) {
                AddOverlapRows(*overlap_table, (*levels)[l], a, b, pair.value.indices[l]);
            }
            const Matrix& grid = pair.value.second;
            const std::int32_t count = grid.Rows() - 1;
            const auto lattice = LatticeOf(grid, count);
            if (!lattice.Ok()) {
                return;
            }
            const VolumeLevels volume = CalcVolumeLevels(grid, count);
            std::vector<std::vector<QLineF>> outlines;
            for (const double level : *levels) {
                outlines.push_back(RangeEdges(lattice.value, volume, level));
            }
            ud_picture->SetSecondOutlines(std::move(outlines), b);
        });
}

} // namespace ranvik
