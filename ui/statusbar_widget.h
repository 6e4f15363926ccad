// The status bar control: a row of fields along the bottom of its window's client area, each
// showing a text or a progress bar.
#pragma once

#include <QWidget>

#include <cstdint>
#include <vector>

class QLabel;
class QProgressBar;
class QSizeGrip;

namespace korvel {

class statusbar_widget : public QWidget {
public:
    // resizable: the window can be resized, so the bar keeps room for a size grip.
    statusbar_widget(QWidget* window, bool resizable);

    // False once the bar has its maximum number of fields.
    bool add_field(std::int32_t width);
    bool has_field(std::int32_t field) const;
    void set_text(std::int32_t field, const QString& text, std::uint32_t flags);
    void set_progress(std::int32_t field, std::int32_t value, std::int32_t minimum,
                      std::int32_t maximum, std::uint32_t flags);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    struct field {
        std::int32_t kind;
        std::int32_t width;
        std::uint32_t flags;
        std::int32_t value;
        std::int32_t minimum;
        std::int32_t maximum;
        QRect area;
        QLabel* label;
        QProgressBar* progress; // null until the field first shows progress
    };

    void lay_out();
    void place_progress(const field& each) const;
    void show_flags(const field& each) const;

    std::vector<field> fields_;
    bool resizable_;
    QSizeGrip* grip_ = nullptr;
};

} // namespace korvel
