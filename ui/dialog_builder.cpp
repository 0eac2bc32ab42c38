#include "ui/dialog_builder.h"

#include <algorithm>
#include <memory>

#include <QCheckBox>
#include <QComboBox>
#include <QFont>
#include <QFontMetrics>
#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QSlider>

#include "res/app_icon.h"
#include "res/resource_ids.h"
#include "ui/blinker_static.h"
#include "ui/measure_edit.h"
#include "ui/up_down_ctrl.h"

namespace ticktavo {

DialogUnits DialogUnitsForFont(const QFont& font) {
  const QFontMetrics metrics(font);
  const int width = metrics.horizontalAdvance(
      QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
  DialogUnits units;
  units.baseX = std::max(1, (width / 26 + 1) / 2);
  units.baseY = std::max(1, metrics.height());
  return units;
}

DialogUnits DialogUnitsFor(const DialogTemplate& dialogTemplate, const QFont& font) {
  DialogUnits units = DialogUnitsForFont(font);
  for (const ControlTemplate& control : dialogTemplate.controls) {
    if (control.cx <= 0 || control.caption == nullptr || control.caption[0] == '\0') continue;
    const QString caption = QString::fromUtf8(control.caption);
    std::unique_ptr<QWidget> probe;
    switch (control.kind) {
      case ControlKind::kRadioButton:
        probe = std::make_unique<QRadioButton>(caption);
        break;
      case ControlKind::kCheckBox:
        probe = std::make_unique<QCheckBox>(caption);
        break;
      case ControlKind::kStaticText:
        // Wrapped text flows onto more lines instead; a single word must still fit.
        if (control.style & kStyleWordWrap) continue;
        probe = std::make_unique<QLabel>(caption);
        break;
      default:
        continue;  // buttons and frames have room to spare around their captions
    }
    probe->setFont(font);
    const int needed = probe->sizeHint().width();
    // Smallest base with round(cx × base / 4) ≥ needed.
    while (units.X(control.cx) < needed) ++units.baseX;
  }
  return units;
}

QWidget* BuiltDialog::Control(int id) const {
  auto it = m_byId.find(id);
  return it == m_byId.end() ? nullptr : it->second;
}

namespace {

constexpr int kAppIconStaticSize = 32;

QWidget* CreateControl(const ControlTemplate& control, QWidget& dialog, QWidget* previous,
                       const DialogUnits& units) {
  const QString caption = QString::fromUtf8(control.caption);
  const Rect place = units.ToPixels(control.x, control.y, control.cx, control.cy);
  QRect rect(place.x, place.y, place.width, place.height);
  QWidget* widget = nullptr;

  switch (control.kind) {
    case ControlKind::kRadioButton:
      widget = new QRadioButton(caption, &dialog);
      break;
    case ControlKind::kCheckBox:
      widget = new QCheckBox(caption, &dialog);
      break;
    case ControlKind::kPushButton: {
      auto* button = new QPushButton(caption, &dialog);
      // Enter never presses a button in this window: it is the Play key.
      button->setAutoDefault(false);
      button->setDefault(false);
      widget = button;
      break;
    }
    case ControlKind::kGroupBox: {
      auto* box = new QGroupBox(caption, &dialog);
      // The title sits on the frame's top line, so the frame starts where the template
      // places it and the controls inside keep clear of it.
      const int half = QFontMetrics(dialog.font()).height() / 2;
      box->setStyleSheet(QStringLiteral("QGroupBox { border: 1px solid palette(mid); "
                                        "border-radius: 2px; margin-top: %1px; }"
                                        "QGroupBox::title { subcontrol-origin: margin; "
                                        "subcontrol-position: top left; left: %2px; "
                                        "padding: 0 2px; }")
                             .arg(half)
                             .arg(units.X(3)));
      box->setAttribute(Qt::WA_TransparentForMouseEvents);
      box->setFocusPolicy(Qt::NoFocus);
      widget = box;
      break;
    }
    case ControlKind::kStaticText: {
      auto* label = new QLabel(caption, &dialog);
      label->setTextFormat(Qt::PlainText);
      label->setAlignment(Qt::AlignLeft | ((control.style & kStyleCenterVertical) ? Qt::AlignVCenter
                                                                                  : Qt::AlignTop));
      label->setWordWrap((control.style & kStyleWordWrap) != 0);
      widget = label;
      break;
    }
    case ControlKind::kEdit: {
      QLineEdit* edit =
          control.id == kIdCustomMeasure ? new MeasureEdit(&dialog) : new QLineEdit(&dialog);
      edit->setFrame((control.style & kStyleBorder) != 0);
      if (control.style & kStyleDigitsOnly) {
        edit->setValidator(
            new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
      }
      widget = edit;
      break;
    }
    case ControlKind::kUpDown: {
      auto* upDown = new UpDownCtrl(&dialog);
      auto* buddy = qobject_cast<QLineEdit*>(previous);
      if ((control.style & kStyleAutoBuddy) && buddy != nullptr) {
        upDown->SetBuddy(buddy);
        if (control.style & kStyleAlignRight) {
          // The arrows sit inside the buddy's right edge; the buddy gives up their width.
          QRect buddyRect = buddy->geometry();
          const int arrows = rect.width();
          buddyRect.setWidth(std::max(1, buddyRect.width() - arrows));
          buddy->setGeometry(buddyRect);
          rect = QRect(buddyRect.right() + 1, buddyRect.top(), arrows, buddyRect.height());
        }
      }
      widget = upDown;
      break;
    }
    case ControlKind::kSlider: {
      auto* slider = new QSlider(Qt::Horizontal, &dialog);
      slider->setTickPosition(QSlider::NoTicks);
      widget = slider;
      break;
    }
    case ControlKind::kComboDropDown:
    case ControlKind::kComboDropList: {
      auto* combo = new QComboBox(&dialog);
      const bool editable = control.kind == ControlKind::kComboDropDown;
      combo->setEditable(editable);
      if (editable) combo->setInsertPolicy(QComboBox::NoInsert);
      // The template's height is the dropped-down height; closed, a combo is as tall as the
      // font needs (never taller than a voice row leaves room for).
      const int closed = std::min(combo->sizeHint().height(), units.Y(13));
      const int itemHeight = std::max(1, QFontMetrics(dialog.font()).height() + 2);
      combo->setMaxVisibleItems(std::max(1, (rect.height() - closed) / itemHeight));
      rect.setHeight(closed);
      widget = combo;
      break;
    }
    case ControlKind::kProgressBar: {
      auto* bar = new QProgressBar(&dialog);
      bar->setTextVisible(false);  // the text beside it says how far it is
      widget = bar;
      break;
    }
    case ControlKind::kIconStatic: {
      if (control.iconId == kIdAppIcon) {
        // The application icon at the size icon statics show it.
        auto* icon = new QLabel(&dialog);
        icon->setPixmap(AppIcon().pixmap(kAppIconStaticSize, kAppIconStaticSize));
        rect.setSize(QSize(kAppIconStaticSize, kAppIconStaticSize));
        widget = icon;
        break;
      }
      auto* blinker = new BlinkerStatic(&dialog);
      const int set = (control.iconId - kIdFirstBlinkerIcon) / BlinkerStatic::kFrameCount;
      blinker->ShowTemplateIcon(control.iconId);
      const int side = BlinkerStatic::IconSize(set) + 2 * BlinkerStatic::kEdge;
      rect.setSize(QSize(side, side));
      widget = blinker;
      break;
    }
  }

  widget->setObjectName(QStringLiteral("control%1").arg(control.id));
  widget->setGeometry(rect);
  widget->setEnabled((control.style & kStyleDisabled) == 0);
  const bool focusable =
      control.kind != ControlKind::kGroupBox && control.kind != ControlKind::kStaticText &&
      control.kind != ControlKind::kIconStatic && control.kind != ControlKind::kUpDown &&
      control.kind != ControlKind::kProgressBar;
  if (!focusable) {
    widget->setFocusPolicy(Qt::NoFocus);
  } else if (control.style & kStyleTabStop) {
    widget->setFocusPolicy(Qt::StrongFocus);
  }
  return widget;
}

}  // namespace

BuiltDialog BuildDialog(const DialogTemplate& dialogTemplate, QWidget& dialog,
                        const DialogUnits& units) {
  BuiltDialog built;
  QWidget* previous = nullptr;
  for (const ControlTemplate& control : dialogTemplate.controls) {
    QWidget* widget = CreateControl(control, dialog, previous, units);
    built.m_byId[control.id] = widget;
    built.m_ordered.push_back(widget);
    previous = widget;
  }

  // Frames go behind everything so they never cover the controls they surround.
  for (const ControlTemplate& control : dialogTemplate.controls) {
    if (control.kind == ControlKind::kGroupBox) built.Control(control.id)->lower();
  }

  QWidget* last = nullptr;
  for (QWidget* widget : built.m_ordered) {
    if (widget->focusPolicy() == Qt::NoFocus) continue;
    if (last != nullptr) QWidget::setTabOrder(last, widget);
    last = widget;
  }

  dialog.resize(units.X(dialogTemplate.cx), units.Y(dialogTemplate.cy));
  return built;
}

}  // namespace ticktavo
