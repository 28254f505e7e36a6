#include "ui/workflow/MappingBody.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <numbers>

#include <wx/dcmemory.h>
#include <wx/graphics.h>
#include <wx/stattext.h>
#include <wx/toplevel.h>

#include "ui/framework/Commands.h"
#include "ui/framework/Dpi.h"
#include "ui/framework/Fonts.h"
#include "ui/framework/Paint.h"
#include "ui/workflow/FlowDocument.h"
#include "ui/workflow/Pickers.h"

namespace ridgeforge {
namespace {

const wxColour kWhite(255, 255, 255);
const wxColour kGrey(170, 176, 186);
const wxColour kBlue(77, 133, 235);
const wxColour kRed(224, 71, 64);

wxColour WithAlpha(const wxColour& colour, int alpha) {
    return {colour.Red(), colour.Green(), colour.Blue(), static_cast<unsigned char>(std::clamp(alpha, 0, 255))};
}

void FrameRect(wxDC& dc, const wxRect& rect, const wxColour& colour) {
    dc.SetPen(wxPen(colour));
    dc.SetBrush(*wxTRANSPARENT_BRUSH);
    dc.DrawRectangle(rect);
}

// Model points as points of the picture.
class PicturePoints {
public:
    explicit PicturePoints(const wxSize& size) : size_(size) {}

    wxPoint2DDouble At(double x, double y, double z) const { return PicturePoint(x, y, z, size_.x, size_.y); }
    wxPoint2DDouble At(const std::array<double, 3>& p) const { return At(p[0], p[1], p[2]); }

    std::vector<wxPoint2DDouble> Circle(int axis, double r, double h) const {
        std::vector<wxPoint2DDouble> points;
        for (int k = 0; k < 48; ++k) points.push_back(At(CirclePoint(axis, r, h, 2.0 * std::numbers::pi * k / 48.0)));
        return points;
    }

private:
    wxSize size_;
};

std::array<double, 3> AxisVector(int axis, double length) {
    return {axis == 0 ? length : 0.0, axis == 1 ? length : 0.0, axis == 2 ? length : 0.0};
}

}  // namespace

// ---- CMappingPicture

bool CMappingPicture::Create(wxWindow* parent, int id, unsigned dpi) {
    dpi_ = dpi == 0 ? 96 : dpi;
    if (!CreatePickerWindow(*this, parent, id, false)) return false;
    Bind(wxEVT_PAINT, &CMappingPicture::OnPaint, this);
    return true;
}

void CMappingPicture::SetState(const mesh::Projection& projection, int axis, bool hasPart) {
    if (projection == projection_ && axis == axis_ && hasPart == hasPart_) return;
    projection_ = projection;
    axis_ = axis;
    hasPart_ = hasPart;
    Refresh();
}

void CMappingPicture::SetDpi(unsigned dpi) {
    dpi_ = dpi == 0 ? 96 : dpi;
    Refresh();
}

void CMappingPicture::OnPaint(wxPaintEvent&) {
    ui::BufferedPaintDC dc(this);
    const wxSize size = GetClientSize();
    if (size.x <= 0 || size.y <= 0) return;
    wxBitmap bitmap(size, 24);
    {
        wxMemoryDC memory(bitmap);
        PaintPicture(memory, size);
    }
    dc.DrawBitmap(bitmap, 0, 0);
}

void CMappingPicture::PaintPicture(wxDC& dc, const wxSize& size) const {
    ui::FillRectExact(dc, wxRect(size), kWhite);
    FrameRect(dc, wxRect(size), flow_colours::kFrame);
    auto* memory = dynamic_cast<wxMemoryDC*>(&dc);
    if (memory == nullptr) return;
    std::unique_ptr<wxGraphicsContext> gc(wxGraphicsContext::Create(*memory));
    if (!gc) return;
    gc->SetAntialiasMode(wxANTIALIAS_DEFAULT);
    const PicturePoints paint(size);
    const bool part = hasPart_;
    const double s = 0.17 * size.x;
    const wxPen outline(part ? wxColour(40, 60, 100) : wxColour(150, 164, 190), 1);
    wxGraphicsPenInfo outlineInfo(outline.GetColour(), 1.6);
    wxGraphicsPenInfo thinInfo(WithAlpha(wxColour(150, 164, 190), part ? 255 : 120), 1.0);
    wxGraphicsPenInfo axisInfo(WithAlpha(flow_colours::kAccent, part ? 255 : 120), 2.2);
    const auto pen = [&gc](const wxGraphicsPenInfo& info) { return gc->CreatePen(info); };
    const auto halve = [part](int alpha) { return part ? alpha : alpha / 2; };
    const mesh::Projection& p = projection_;

    const auto stroke = [&](const std::vector<wxPoint2DDouble>& points, const wxGraphicsPenInfo& info,
                            const wxColour* fill) {
        wxGraphicsPath path = gc->CreatePath();
        path.MoveToPoint(points.front());
        for (std::size_t i = 1; i < points.size(); ++i) path.AddLineToPoint(points[i]);
        path.CloseSubpath();
        if (fill != nullptr) {
            gc->SetBrush(wxBrush(*fill));
            gc->FillPath(path);
        }
        gc->SetPen(pen(info));
        gc->StrokePath(path);
    };
    const auto line = [&](const wxPoint2DDouble& a, const wxPoint2DDouble& b, const wxGraphicsPenInfo& info) {
        gc->SetPen(pen(info));
        gc->StrokeLine(a.m_x, a.m_y, b.m_x, b.m_y);
    };
    const auto fill = [&](const std::vector<wxPoint2DDouble>& points, const wxColour& colour) {
        wxGraphicsPath path = gc->CreatePath();
        path.MoveToPoint(points.front());
        for (std::size_t i = 1; i < points.size(); ++i) path.AddLineToPoint(points[i]);
        path.CloseSubpath();
        gc->SetBrush(wxBrush(colour));
        gc->FillPath(path);
    };

    switch (p.type) {
        case mesh::ProjectionType::Box: {
            const std::array<std::pair<int, int>, 6> order{{{1, 45}, {2, 45}, {5, 45}, {4, 95}, {0, 95}, {3, 95}}};
            for (const auto& [side, alpha] : order) {
                if (!p.box.sideEnabled[static_cast<std::size_t>(side)]) continue;
                std::vector<wxPoint2DDouble> face;
                for (const auto& corner : BoxFace(side)) face.push_back(paint.At(corner));
                fill(face, WithAlpha(SideColour(side), halve(alpha)));
            }
            for (int a = 0; a < 3; ++a) {
                const int b = (a + 1) % 3;
                const int c = (a + 2) % 3;
                for (const double vb : {-1.0, 1.0})
                    for (const double vc : {-1.0, 1.0}) {
                        std::array<double, 3> from{}, to{};
                        from[static_cast<std::size_t>(a)] = -1.0;
                        to[static_cast<std::size_t>(a)] = 1.0;
                        from[static_cast<std::size_t>(b)] = to[static_cast<std::size_t>(b)] = vb;
                        from[static_cast<std::size_t>(c)] = to[static_cast<std::size_t>(c)] = vc;
                        // The three edges through the hidden corner (-1, 1, -1) are thin.
                        const std::array<double, 3> hidden{-1.0, 1.0, -1.0};
                        int matches = 0;
                        for (std::size_t k = 0; k < 3; ++k)
                            if (static_cast<int>(k) != a && from[k] == hidden[k]) ++matches;
                        line(paint.At(from), paint.At(to), matches == 2 ? thinInfo : outlineInfo);
                    }
            }
            break;
        }
        case mesh::ProjectionType::Plane: {
            const int axis = axis_;
            const std::array<double, 3> u = axis == 0 ? std::array<double, 3>{0, 1, 0} : std::array<double, 3>{1, 0, 0};
            const std::array<double, 3> v = axis == 2 ? std::array<double, 3>{0, 1, 0} : std::array<double, 3>{0, 0, 1};
            std::vector<wxPoint2DDouble> square;
            for (const auto& [a, b] : std::array<std::pair<double, double>, 4>{{{-1, -1}, {1, -1}, {1, 1}, {-1, 1}}})
                square.push_back(paint.At(a * u[0] + b * v[0], a * u[1] + b * v[1], a * u[2] + b * v[2]));
            const wxColour fillColour = WithAlpha(kBlue, part ? 110 : 55);
            stroke(square, wxGraphicsPenInfo(WithAlpha(kBlue, part ? 255 : 127), 1.4), &fillColour);
            break;
        }
        case mesh::ProjectionType::Cylinder: {
            const int axis = axis_;
            const std::array<double, 2> t = SilhouetteAngles(axis, size.x, size.y);
            const std::vector<wxPoint2DDouble> bottom = paint.Circle(axis, 1.0, -1.0);
            const std::vector<wxPoint2DDouble> top = paint.Circle(axis, 1.0, 1.0);
            const wxColour bottomFill = WithAlpha(kBlue, halve(60));
            stroke(bottom, thinInfo, p.cylinder.bottomCapEnabled ? &bottomFill : nullptr);
            const wxPoint2DDouble b0 = paint.At(CirclePoint(axis, 1.0, -1.0, t[0]));
            const wxPoint2DDouble b1 = paint.At(CirclePoint(axis, 1.0, -1.0, t[1]));
            const wxPoint2DDouble t0 = paint.At(CirclePoint(axis, 1.0, 1.0, t[0]));
            const wxPoint2DDouble t1 = paint.At(CirclePoint(axis, 1.0, 1.0, t[1]));
            if (p.cylinder.sideEnabled) fill({b0, b1, t1, t0}, WithAlpha(kRed, halve(70)));
            line(b0, t0, outlineInfo);
            line(b1, t1, outlineInfo);
            const wxColour topFill = WithAlpha(kBlue, halve(100));
            stroke(top, outlineInfo, p.cylinder.topCapEnabled ? &topFill : nullptr);
            break;
        }
        case mesh::ProjectionType::Sphere: {
            const bool any =
                std::any_of(p.box.sideEnabled.begin(), p.box.sideEnabled.end(), [](bool on) { return on; });
            const wxPoint2DDouble centre = paint.At(0, 0, 0);
            const double r = 1.05 * s;
            wxGraphicsPath disc = gc->CreatePath();
            disc.AddCircle(centre.m_x, centre.m_y, r);
            if (any) {
                gc->SetBrush(wxBrush(WithAlpha(kBlue, halve(70))));
                gc->FillPath(disc);
            }
            gc->SetPen(pen(outlineInfo));
            gc->StrokePath(disc);
            stroke(paint.Circle(axis_, 1.05, 0.0), thinInfo, nullptr);
            break;
        }
    }

    // The axes last: the picture's own axis as an arrow (not for the box).
    const wxPoint2DDouble origin = paint.At(0, 0, 0);
    for (int axis = 0; axis < 3; ++axis) {
        if (p.type != mesh::ProjectionType::Box && axis == axis_) {
            const wxPoint2DDouble tip = paint.At(AxisVector(axis, 2.0));
            line(origin, tip, axisInfo);
            const wxPoint2DDouble base = paint.At(AxisVector(axis, 1.6));
            const double dx = tip.m_x - base.m_x;
            const double dy = tip.m_y - base.m_y;
            const double length = std::max(std::hypot(dx, dy), 1e-9);
            const double nx = -dy / length * 0.16 * s;
            const double ny = dx / length * 0.16 * s;
            fill({tip, {base.m_x + nx, base.m_y + ny}, {base.m_x - nx, base.m_y - ny}},
                 WithAlpha(flow_colours::kAccent, part ? 255 : 120));
        } else {
            line(origin, paint.At(AxisVector(axis, 1.55)), thinInfo);
        }
    }
}

// ---- CProjectorList

bool CProjectorList::Create(wxWindow* parent, int id, unsigned dpi) {
    dpi_ = dpi == 0 ? 96 : dpi;
    if (!CreatePickerWindow(*this, parent, id, true)) return false;
    Bind(wxEVT_PAINT, &CProjectorList::OnPaint, this);
    Bind(wxEVT_SIZE, [this](wxSizeEvent& event) {
        event.Skip();
        UpdateScroll();
    });
    Bind(wxEVT_LEFT_DOWN, [this](wxMouseEvent& event) { Press(event.GetPosition()); });
    Bind(wxEVT_LEFT_DCLICK, [this](wxMouseEvent& event) { Press(event.GetPosition()); });
    Bind(wxEVT_MOTION, &CProjectorList::OnMotion, this);
    Bind(wxEVT_LEAVE_WINDOW, [this](wxMouseEvent&) {
        if (hover_ < 0) return;
        hover_ = -1;
        Refresh();
    });
    Bind(wxEVT_MOUSEWHEEL, [this](wxMouseEvent& event) { ScrollByWheel(event.GetWheelRotation()); });
    BindScrollEvents(*this, [this](wxScrollWinEvent& event) { OnScroll(event); });
    return true;
}

void CProjectorList::SetRows(std::vector<ProjectorRow> rows, int selected) {
    if (rows == rows_ && selected == selected_) return;
    const bool sameCount = rows.size() == rows_.size();
    rows_ = std::move(rows);
    selected_ = selected;
    if (!sameCount) {
        scroll_ = 0;
        UpdateScroll();
    }
    Refresh();
}

void CProjectorList::SetDpi(unsigned dpi) {
    dpi_ = dpi == 0 ? 96 : dpi;
    UpdateScroll();
    Refresh();
}

void CProjectorList::UpdateScroll() {
    const int content = ProjectorContentHeight(static_cast<int>(rows_.size()), dpi_);
    const int height = GetClientSize().y;
    scroll_ = ClampScroll(scroll_, content, height);
    SetVerticalScroll(*this, content, height, scroll_);
}

void CProjectorList::ScrollTo(int offset) {
    const int wanted =
        ClampScroll(offset, ProjectorContentHeight(static_cast<int>(rows_.size()), dpi_), GetClientSize().y);
    if (wanted == scroll_) return;
    scroll_ = wanted;
    SetScrollPos(wxVERTICAL, scroll_, true);
    Refresh();
}

void CProjectorList::Press(const wxPoint& point) {
    bool inCheck = false;
    const int row = ProjectorHitTest(GetClientSize(), scroll_, static_cast<int>(rows_.size()), point, dpi_, &inCheck);
    if (row < 0) return;
    if (inCheck && !rows_[static_cast<std::size_t>(row)].switchable) return;
    if (onClick_) onClick_(row, !inCheck);
}

void CProjectorList::ScrollByWheel(int wheelDelta) { ScrollTo(scroll_ - wheelDelta * ui::ScaleDip(22, dpi_) / 120); }

void CProjectorList::OnScroll(wxScrollWinEvent& event) {
    ScrollTo(ScrollPosition(ScrollCodeOf(event), scroll_, ui::ScaleDip(22, dpi_), GetClientSize().y,
                            ProjectorContentHeight(static_cast<int>(rows_.size()), dpi_), event.GetPosition()));
}

void CProjectorList::OnMotion(wxMouseEvent& event) {
    const int row =
        ProjectorHitTest(GetClientSize(), scroll_, static_cast<int>(rows_.size()), event.GetPosition(), dpi_, nullptr);
    if (row == hover_) return;
    hover_ = row;
    Refresh();
}

void CProjectorList::OnPaint(wxPaintEvent&) {
    ui::BufferedPaintDC dc(this);
    const wxSize client = GetClientSize();
    ui::FillRectExact(dc, wxRect(client), kWhite);
    FrameRect(dc, wxRect(client), flow_colours::kFrame);
    dc.SetFont(ui::GetUiFont(ui::Normal, dpi_));
    dc.SetBackgroundMode(wxBRUSHSTYLE_TRANSPARENT);
    for (int i = 0; i < static_cast<int>(rows_.size()); ++i) {
        const ProjectorRow& row = rows_[static_cast<std::size_t>(i)];
        const ProjectorRowGeometry g = ProjectorRowRects(i, scroll_, client, dpi_);
        if (!g.row.Intersects(wxRect(client))) continue;
        if (i == selected_)
            ui::FillRectExact(dc, g.row, flow_colours::kSelection);
        else if (i == hover_)
            ui::FillRectExact(dc, g.row, flow_colours::kBackground);
        if (row.on) {
            ui::FillRectExact(dc, g.check, row.switchable ? flow_colours::kAccent : kGrey);
            DrawCheckMark(dc, g.check, dpi_);
        } else {
            ui::FillRectExact(dc, g.check, kWhite);
            FrameRect(dc, g.check, row.switchable ? flow_colours::kSecondary : kGrey);
        }
        ui::FillRectExact(dc, g.swatch, row.on ? row.colour : kGrey);
        dc.SetTextForeground(row.on ? flow_colours::kText : flow_colours::kSecondary);
        ui::DrawEllipsisText(dc, row.name, g.name);
    }
}

// ---- CMappingBody

bool CMappingBody::OnCreateBody() {
    projections_ = CreateCompactStrip(
        this, 1, false,
        {MakeToolbarButton(32796, "projection_cubic", "Box", "Project the texture from six sides."),
         MakeToolbarButton(32797, "projection_planar", "Plane", "Project the texture from one direction."),
         MakeToolbarButton(32798, "projection_cylindrical", "Cylinder", "Wrap the texture round an axis."),
         MakeToolbarButton(32887, "projection_sphere", "Sphere",
                           "Wrap the texture round a centre: six faces read from the middle, the size kept all "
                           "over a ball.")});
    if (projections_ == nullptr) return false;
    picture_ = new CMappingPicture();
    if (!picture_->Create(this, 2, dpi_)) return false;
    axes_ = CreateCompactStrip(this, 3, true,
                               {MakeToolbarButton(32850, "axis_x", "Along X", "The texture comes along the X axis."),
                                MakeToolbarButton(32851, "axis_y", "Along Y", "The texture comes along the Y axis."),
                                MakeToolbarButton(32852, "axis_z", "Along Z", "The texture comes along the Z axis.")});
    if (axes_ == nullptr) return false;
    sides_ = new CProjectorList();
    if (!sides_->Create(this, 4, dpi_)) return false;
    sides_->SetClickCallback([this](int row, bool select) { OnSideClicked(row, select); });
    surfacesLabel_ = new wxStaticText(this, 5, "Surfaces", wxDefaultPosition, wxDefaultSize, wxST_NO_AUTORESIZE);
    surfacesLabel_->SetFont(ui::GetUiFont(ui::Normal, dpi_));
    surfacesLabel_->SetForegroundColour(flow_colours::kText);
    surfacesLabel_->SetBackgroundColour(flow_colours::kBackground);
    surfaces_ = CreateCompactStrip(
        this, 6, false,
        {MakeToolbarButton(32919, "surfaces_all", "All Surfaces", "Texture every surface of the part, inside and out."),
         MakeToolbarButton(32920, "surfaces_outer", "Outer Surfaces Only",
                           "Texture the outside of the part and leave the inside plain: the bore of a tube, a "
                           "slot, a pocket."),
         MakeToolbarButton(32921, "surfaces_inner", "Inner Surfaces Only",
                           "Texture only the inside of the part - the bore of a tube, a slot, a pocket - and leave "
                           "the outside plain.")});
    if (surfaces_ == nullptr) return false;
    LayoutControls();
    return true;
}

void CMappingBody::SetDpi(unsigned dpi) {
    CSectionBody::SetDpi(dpi);
    if (picture_ == nullptr) return;
    picture_->SetDpi(dpi_);
    for (CToolbarHostWnd* strip : {projections_, axes_, surfaces_}) strip->SetDpi(dpi_);
    sides_->SetDpi(dpi_);
    surfacesLabel_->SetFont(ui::GetUiFont(ui::Normal, dpi_));
    LayoutControls();
}

int CMappingBody::GetPreferredHeight() const {
    int height = 0;
    for (const int dip : {8, 40, 6, 116, 6, 40, 8}) height += ui::ScaleDip(dip, dpi_);
    return height;
}

void CMappingBody::LayoutControls() {
    // Creation lays the body out again once the surfaces strip, its last control, exists.
    if (sides_ == nullptr || surfaces_ == nullptr) return;
    const auto d = [this](int dip) { return ui::ScaleDip(dip, dpi_); };
    const wxSize c = GetClientSize();
    const int m = d(8), g = d(6);
    // Before the column has its width the body is zero wide; a negative size
    // is refused by the toolkit with a warning.
    projections_->SetSize(m, m, std::max(c.x - 2 * m, 0), d(40));
    const int y1 = m + d(40) + g;
    picture_->SetSize(m, y1, d(108), d(108));
    const int axisLeft = m + d(108) + g;
    axes_->SetSize(axisLeft, y1, d(40), d(116));
    const int listLeft = axisLeft + d(40) + g;
    sides_->SetSize(listLeft, y1, std::max(c.x - listLeft - m, 0), d(116));
    const int y2 = y1 + d(116) + g;
    surfacesLabel_->SetSize(m, y2 + (d(40) - surfacesLabel_->GetBestSize().y) / 2, d(62),
                            surfacesLabel_->GetBestSize().y);
    surfaces_->SetSize(m + d(62), y2, std::max(c.x - 2 * m - d(62), 0), d(40));
}

void CMappingBody::UpdateFromDocument(FlowDocument* document) {
    const bool hasPart = document != nullptr && document->HasPart();
    mesh::Projection* mapping = document != nullptr ? document->Mapping() : nullptr;
    const mesh::Projection projection = mapping != nullptr ? *mapping : mesh::Projection{};
    const int axis = mapping != nullptr ? PictureAxis(projection) : 2;
    mesh::Projection shown = projection;
    shown.activeLayer = -1;
    picture_->SetState(shown, axis, hasPart);
    std::vector<ProjectorRow> rows = ProjectorRows(projection, hasPart);
    const int selected = SelectedRow(rows, projection.activeLayer);
    sides_->SetRows(std::move(rows), selected);
    projections_->UpdateButtonStates();
    axes_->UpdateButtonStates();
    surfaces_->UpdateButtonStates();
}

void CMappingBody::OnSideClicked(int rowIndex, bool select) {
    const std::vector<ProjectorRow>& rows = sides_->Rows();
    if (rowIndex < 0 || rowIndex >= static_cast<int>(rows.size())) return;
    const ProjectorRow row = rows[static_cast<std::size_t>(rowIndex)];
    FlowDocument* document = GetActiveFlowDocument();
    if (document == nullptr || !document->HasPart()) return;
    mesh::Projection* p = document->Mapping();
    if (p == nullptr) return;
    if (select) {
        const int layer = row.side == p->activeLayer || row.side < 0 || row.side > 5 ? -1 : row.side;
        if (layer != p->activeLayer) {
            p->activeLayer = layer;
            document->UpdateViews(ViewUpdateHint::PlacementChanged);
        }
    } else if (p->type == mesh::ProjectionType::Box || p->type == mesh::ProjectionType::Sphere) {
        if (auto* frame = wxGetTopLevelParent(this))
            ui::SendCommand(frame, kToggleSideFirst + static_cast<CommandId>(row.side));
    } else if (p->type == mesh::ProjectionType::Cylinder) {
        bool* flag = row.side == 0   ? &p->cylinder.sideEnabled
                     : row.side == 4 ? &p->cylinder.topCapEnabled
                     : row.side == 5 ? &p->cylinder.bottomCapEnabled
                                     : nullptr;
        if (flag != nullptr && *flag != !row.on) {
            *flag = !row.on;
            document->OnSettingsChanged();
        }
    }
    UpdateFromDocument(document);
}

}  // namespace ridgeforge
