#include "shell/mainwindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QCheckBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QTimer>
#include <QPointer>
#include <cmath>
#include <cstdio>

#include "entry/calculate.h"
#include "entry/commands.h"
#include "entry/rows.h"
#include "entry/validation.h"
#include "model/clicktable.h"
#include "model/fit.h"
#include "model/numtext.h"
#include "model/trajectory.h"
#include "output/clicklistbox.h"
#include "output/csvexport.h"
#include "platform/accessible.h"
#include "platform/files.h"
#include "platform/fonts.h"
#include "platform/modal.h"
#include "platform/picturebox.h"
#include "output/printcommands.h"
#include "platform/printing.h"
#include "platform/qtcolour.h"
#include "platform/twips.h"
#include "platform/window.h"
#include "shell/errorwindow.h"
#include "platform/look.h"
#include "platform/outline.h"
#include "settings/settings.h"

namespace vantorel {

namespace {

// The decimal point the settings' numbers are written with: the user's locale's.
std::string DecimalPoint() { return QLocale().decimalPoint().toStdString(); }

// The window's final size, and the design size the default placement is
// computed from (the load narrows the window to its final width after
// placing it, so it opens a little left of the exact centre).
constexpr double kWidth = 8610;
constexpr double kHeight = 6585;
constexpr double kDesignWidth = 8820;
constexpr double kDesignHeight = 6585;

// The notice after the caption on the copyright line. The line shares its
// height with the graph's title, so it is kept short enough to end clear of it.
const char* kCopyrightNotice = "  \xC2\xA9 2026 Morvale";

// Text colour through the palette: a style sheet's colour would reach the
// control's tooltip as well.
void SetTextColour(QWidget* w, const QColor& c) {
  QPalette pal = w->palette();
  pal.setColor(QPalette::WindowText, c);
  w->setPalette(pal);
}

QLabel* MakeLabel(QWidget* parent, const QString& name, double l, double t, double w, double h) {
  auto* label = new QLabel(parent);
  label->setObjectName(name);
  label->setAttribute(Qt::WA_TranslucentBackground);
  platform::PlaceTwips(label, l, t, w, h);
  return label;
}

// Key codes and shift state as the handlers use them: Esc 27, P 80; Shift 1,
// Ctrl 2, Alt 4.
int ShiftState(Qt::KeyboardModifiers m) {
  return (m & Qt::ShiftModifier ? 1 : 0) | (m & Qt::ControlModifier ? 2 : 0) | (m & Qt::AltModifier ? 4 : 0);
}

}  // namespace

NoticeLabel::NoticeLabel(QWidget* parent) : QLabel(parent) { setAttribute(Qt::WA_TranslucentBackground); }

void NoticeLabel::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setFont(font());
  const QRect r = contentsRect();
  const int flags = static_cast<int>(alignment());
  const QRect band = p.boundingRect(r, flags, text()).adjusted(-2, 0, 0, 0).intersected(rect());
  p.fillRect(band, platform::ToQColor(frmMain::kBackColour));
  p.setPen(Qt::white);
  p.drawText(r, flags, text());
}

CloseBox::CloseBox(QWidget* parent) : QWidget(parent) {
  setObjectName("btnControl");
  platform::SetAccessibleRole(this, QAccessible::Button);
  setToolTip("Exit ");
  setAccessibleName("Close");
  setCursor(platform::ProgramCursor());
  setMouseTracking(true);
  platform::PlaceTwips(this, 8175, 90, 315, 315);
}

void CloseBox::SetBackColor(platform::Colour c) {
  if (back_ == c) return;
  back_ = c;
  update();
}

void CloseBox::click() {
  if (isEnabled()) emit clicked();
}

void CloseBox::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), platform::ToQColor(back_));
  // The 21 by 21 image: a white cross.
  const QRectF image((width() - 21) / 2.0, (height() - 21) / 2.0, 21, 21);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(isEnabled() ? Qt::white : QColor(0xa0, 0xa0, 0xa0), 2.0, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(image.topLeft() + QPointF(6, 6), image.bottomRight() - QPointF(6, 6));
  p.drawLine(image.topRight() + QPointF(-6, 6), image.bottomLeft() + QPointF(6, -6));
}

frmMain::frmMain(State& s, std::string exeName, platform::Store& store, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint),
      s_(s),
      exeName_(std::move(exeName)),
      store_(store),
      printService_(std::make_unique<platform::SystemPrintService>()),
      exportFolder_(platform::ProgramExportFolder()) {
  setObjectName("frmMain");
  platform::SetAccessibleRole(this, QAccessible::Window);  // read as a window named by its caption
  setWindowTitle("Ardenko");
  setAutoFillBackground(true);
  QPalette pal = palette();
  pal.setColor(QPalette::Window, platform::ToQColor(kBackColour));
  setPalette(pal);
  resize(platform::TwipsToPixels(kDesignWidth), platform::TwipsToPixels(kDesignHeight));

  // The window's own surface holds its outline; every control sits on it.
  Surface = new platform::PictureBox(this);
  Surface->setObjectName("frmMainSurface");
  Surface->SetBackColor(kBackColour);
  Surface->SetDrawWidth(2);
  Surface->PlaceTwips(0, 0, kWidth, kHeight);
  platform::HideFromAccessibility(Surface);

  for (int i = 0; i < 2; ++i) {
    QLabel* t = MakeLabel(this, "AppTitle(" + QString::number(i) + ")", 135, 75, 10110, 495);
    t->setFont(platform::MakeFont("Tahoma", 14.25));
    SetTextColour(t, i == 0 ? QColor(0x40, 0, 0) : QColor(Qt::white));
    t->setToolTip("Click here and drag to move the application");
    t->setCursor(platform::ProgramCursor());
    t->setMouseTracking(true);
    AppTitle[static_cast<size_t>(i)] = t;
  }
  AppTitle[0]->raise();  // the dark copy lies over the white one: an embossed title
  platform::HideFromAccessibility(AppTitle[1]);  // read once

  // The notice lies over the top of the graph panel: white on a teal band.
  Copyright = new NoticeLabel(this);
  Copyright->setObjectName("Copyright");
  platform::PlaceTwips(Copyright, 2835, 645, 3870, 165);
  Copyright->setFont(platform::MakeFont("Tahoma", 6.75));
  Copyright->setAlignment(Qt::AlignRight | Qt::AlignTop);
  Copyright->setToolTip("Copyright Notice ");

  btnControl = new CloseBox(this);
  connect(btnControl, &CloseBox::clicked, this, &frmMain::btnControl_Click);

  P0 = new platform::PictureBox(this);
  P0->setObjectName("P0");
  P0->SetBackColor(platform::FromQColor(QApplication::palette().color(QPalette::Base)));
  P0->SetForeColor(platform::FromQColor(QApplication::palette().color(QPalette::Text)));
  P0->SetFont(platform::FontSpec{"Tahoma", 8.25});
  P0->PlaceTwips(60, 480, 6750, 3540);
  P5 = new platform::PictureBox(P0);
  P5->setObjectName("P5");
  P5->SetBorder(true);
  P5->SetBackColor(P0->BackColor());
  P5->SetForeColor(P0->ForeColor());
  P5->PlaceTwips(690, 450, 5460, 2595);
  P0->setAccessibleName("Graph");

  ClickList = new ClickListBox(this);
  Rows = new DataRows(s_, exeName_, this);
  connect(Rows, &DataRows::refused, this, [](const std::string& title, const std::string& body) { ShowError(title, body); });
  Commands = new CommandButtons(this);
  connect(Commands, &CommandButtons::clicked, this, &frmMain::cbButton_Click);

  Frame3 = new platform::PictureBox(this);
  Frame3->setObjectName("Frame3");
  Frame3->SetBackColor(kBackColour);
  Frame3->SetDrawWidth(2);
  Frame3->PlaceTwips(9720, 4500, 3165, 1755);
  Frame3->hide();
  Working = MakeLabel(Frame3, "Working", 120, 630, 2970, 465);
  Working->setText("Working");
  Working->setFont(platform::MakeFont("Tahoma", 18));
  SetTextColour(Working, Qt::white);
  Working->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  Working->setToolTip("Current Status ");

  Timer1 = new QTimer(this);
  Timer1->setObjectName("Timer1");
  Timer1->setInterval(250);
  connect(Timer1, &QTimer::timeout, this, &frmMain::Timer1_Timer);

  btnControl->raise();
  Copyright->raise();

  // Tab order: Exit, Print List, Calculate, Metric, Imperial, the range and
  // clicks fields row by row, the tick boxes from the last row back, the
  // list, and Save as CSV last.
  std::vector<QWidget*> order = {Commands->cbButton[kExit], Commands->cbButton[kPrintList],
                                 Commands->cbButton[kCalculate], Commands->cbButton[kMetric],
                                 Commands->cbButton[kImperial]};
  for (size_t k = 0; k < kRows; ++k) {
    order.push_back(Rows->RTxt[k]);
    order.push_back(Rows->CTxt[k]);
  }
  for (size_t k = kRows; k-- > 0;) order.push_back(Rows->Ticked[k]);
  order.push_back(ClickList);
  order.push_back(Commands->cbButton[kSaveCsv]);
  for (size_t k = 0; k + 1 < order.size(); ++k) QWidget::setTabOrder(order[k], order[k + 1]);

  qApp->installEventFilter(this);
  SetErrorOwner(this);
}

frmMain::~frmMain() {
  if (qApp) qApp->removeEventFilter(this);
}

void frmMain::Form_Load() {
  s_.FormReady = false;
  // A store another program holds locked is waited for with the window
  // shown: the first read waits only a moment.
  loaded_ = LoadData(store_, s_, kFirstLoadWaitMs, DecimalPoint());
  waitingForStore_ = loaded_.locked;
  PlaceFromSettings(waitingForStore_ ? LoadResult{} : loaded_);  // centred until the settings are in

  Setup_Fonts();
  Rows->LoadTicks();

  const QString caption = QString::fromStdString(exeName_) + " V" + QString::number(VANTOREL_VERSION_MAJOR) + "." +
                          QString::number(VANTOREL_VERSION_MINOR) + "." + QString::number(VANTOREL_VERSION_PATCH);
  setWindowTitle(caption);
  for (QLabel* t : AppTitle) t->setText(caption);
  AppTitle[1]->move(AppTitle[0]->x() - platform::TwipsToPixels(30), AppTitle[0]->y() - platform::TwipsToPixels(30));
  Copyright->setText(caption + QString::fromUtf8(kCopyrightNotice));
  FitCopyright();

  Rows->Update_Boxes();
  setFixedSize(platform::TwipsToPixels(kWidth), platform::TwipsToPixels(kHeight));

  Commands->cbButton[kImperial]->setEnabled(s_.MetricUnits);
  Commands->cbButton[kMetric]->setEnabled(!s_.MetricUnits);
  // The two printing commands wait for the printer count, which is asked
  // for once the window shows.
  Commands->cbButton[kSaveCsv]->setEnabled(false);
  Commands->cbButton[kPrintList]->setEnabled(false);

  Frame3->PaintKept([](QPainter& p, QSize size) { vantorel::DrawOutline(p, size, kMainOutline, kBackColour); });
  DrawOutline();
  if (waitingForStore_) {
    // Nothing can be used until the settings are in: the controls rest and
    // the status panel blinks "Waiting" while the lock is tried again.
    busy_ = true;
    Control_Buttons(false);
    btnControl->setEnabled(true);
    for (size_t k = 0; k < kRows; ++k) Rows->RFrm[k]->setEnabled(false);
    Working->setText("Waiting");
    Frame3->move((width() - Frame3->width()) / 2, (height() - Frame3->height()) / 2);
    Frame3->setVisible(true);
    Frame3->raise();
    Timer1->start();
  }
  show();
  Commands->cbButton[kExit]->setFocus(Qt::OtherFocusReason);
  // Hand the window to the window system now (the request would otherwise
  // wait for the end of the load); it is painted once the estimate is drawn.
  platform::FlushWindowSystem();
  // The printer count is asked on a thread of its own that nothing waits for.
  printerQuery_ = std::make_unique<platform::PrinterCountQuery>(printService_->CountAsker());
  connect(printerQuery_.get(), &platform::PrinterCountQuery::Known, this, &frmMain::PrinterCountKnown);
  if (waitingForStore_) {
    storeWait_.start();
    QTimer::singleShot(kLoadRetryMs, this, &frmMain::RetryLoad);
    return;
  }
  LoadFinished();
}

void frmMain::PlaceFromSettings(const LoadResult& from) {
  const platform::ScreenSize screen = platform::PrimaryScreenSize();
  const double screenW = platform::PixelsToTwips(screen.width);
  const double screenH = platform::PixelsToTwips(screen.height);
  auto position = [&](const char* name, double fallback) {
    const std::string text = from.Text(name, LocaleNumberText(fallback));
    const auto v = LocaleToDouble(text);
    return static_cast<double>(static_cast<float>(v && std::isfinite(*v) && std::fabs(*v) < 1e30 ? *v : fallback));
  };
  const double top = position("ADKTop", (screenH - kDesignHeight) / 2);
  const double left = position("ADKLeft", (screenW - kDesignWidth) / 2);
  move(platform::TwipsToPixels(left), platform::TwipsToPixels(top));
}

void frmMain::RetryLoad() {
  if (ended_ || !waitingForStore_) return;
  // Each try takes the lock only if it is free, so the window never waits on it.
  loaded_ = LoadData(store_, s_, 0, DecimalPoint());
  const int waitMs = store_.LockWaitMs();
  if (loaded_.locked && storeWait_.elapsed() < waitMs) {
    QTimer::singleShot(kLoadRetryMs, this, &frmMain::RetryLoad);
    return;
  }
  if (loaded_.locked) {
    loaded_.reason = store_.LockedReason(waitMs);
    loaded_.notice = NotReadMessage(loaded_);
  }
  // The settings are in (or will not come): the window takes them and its place.
  waitingForStore_ = false;
  busy_ = false;
  Timer1->stop();
  Frame3->hide();
  PlaceFromSettings(loaded_);
  Rows->LoadTicks();
  Rows->Update_Boxes();
  for (size_t k = 0; k < kRows; ++k) Rows->RFrm[k]->setEnabled(true);
  Control_Buttons(true);
  LoadFinished();
}

void frmMain::LoadFinished() {
  s_.FormReady = true;
  // What happened to the store and every saved value that could not be
  // used, in one window, a blank line between one and the next.
  QStringList told = QString::fromStdString(loaded_.problems).split("\r\n", Qt::SkipEmptyParts);
  if (!loaded_.notice.empty()) told.prepend(QString::fromStdString(loaded_.notice));
  if (!told.empty()) ShowError("Saved Settings", told.join("\n\n").toStdString());
  if (ended_) return;
  PseudoCalc();
}

void frmMain::Setup_Fonts() {
  // Captions of labels, check boxes and buttons in Tahoma, keeping size and style.
  for (QWidget* w : findChildren<QWidget*>()) {
    if (!qobject_cast<QLabel*>(w) && !qobject_cast<QCheckBox*>(w) && !qobject_cast<QPushButton*>(w) &&
        !qobject_cast<QComboBox*>(w))
      continue;
    const QFont f = w->font();
    platform::FontSpec face{"Tahoma", f.pointSizeF(), f.bold(), f.italic(), f.underline(), f.strikeOut()};
    w->setFont(platform::MakeFont(face));
  }
}

void frmMain::FitCopyright() {
  // The notice ends clear of the graph title at its height (in either unit's
  // wording). Without a narrow face installed the stand-in runs wider: it is
  // set a little smaller until it fits.
  const QFontMetrics titleFont(platform::MakeFont("Tahoma", 8.25));
  const int titleHalf = std::max(titleFont.horizontalAdvance(QString::fromStdString(GraphTitle(false))),
                                 titleFont.horizontalAdvance(QString::fromStdString(GraphTitle(true)))) / 2;
  const int room = Copyright->geometry().right() - (P5->mapTo(this, QPoint(P5->width() / 2, 0)).x() + titleHalf + 6);
  for (double points = 6.75; points >= 5; points -= 0.25) {
    Copyright->setFont(platform::MakeFont("Tahoma", points));
    if (QFontMetrics(Copyright->font()).horizontalAdvance(Copyright->text()) <= room) break;
  }
}

void frmMain::DrawOutline() {
  Surface->PaintKept([](QPainter& p, QSize size) { vantorel::DrawOutline(p, size, kMainOutline, kBackColour); });
}

std::optional<int> frmMain::PrinterCount() const {
  return printerQuery_ ? printerQuery_->Count() : std::nullopt;
}

void frmMain::PrinterCountKnown(int count) {
  if (count == 0 || busy_) return;
  Commands->cbButton[kSaveCsv]->setEnabled(true);
  Commands->cbButton[kPrintList]->setEnabled(true);
}

void frmMain::ApplyLabels(const std::array<std::string, kRows>& labels) {
  for (size_t k = 0; k < kRows; ++k) Rows->ErrorInd[k]->setText(QString::fromStdString(labels[k]));
}

void frmMain::PseudoCalc() {
  const Estimate e = vantorel::PseudoCalc(s_);
  modelUsable_ = !e.problem;
  for (size_t k = 0; k < kRows; ++k)
    if (e.labels[k]) Rows->ErrorInd[k]->setText(QString::fromStdString(*e.labels[k]));
  Setup_P5();
  if (modelUsable_) Update_P5(255);
  Update_ClickList();
  if (e.problem) ShowError(kModelErrorTitle, *e.problem + " Press Calculate to refit.");
}

void frmMain::Setup_P5() { vantorel::Setup_P5(s_, *P0, *P5, P5->OuterTwips(), P0->OuterTwips().height, graph_); }

void frmMain::Update_P5(platform::Colour colour) {
  vantorel::Update_P5(s_, *P5, graph_, colour);
  // What the graph shows, for a screen reader.
  const bool metric = s_.MetricUnits;
  const ModelParams p = s_.Params();
  QString text = QString::fromStdString(GraphTitle(metric)) + ": the model's clicks";
  for (int r = s_.MinDataRange; r <= s_.MaxDataRange && r > 0; r += std::max(1, (s_.MaxDataRange - s_.MinDataRange) / 4))
    text += QString(", %1 at %2").arg(QString::fromStdString(FormatNumber(ClicksToDial(p, r, metric), "0"))).arg(r);
  text += "; measured points";
  for (int i = 0; i < kRows; ++i)
    if (s_.IsTicked(i))
      text += QString(", %1 at %2").arg(s_.DataClicks[static_cast<size_t>(i)]).arg(s_.DataRange[static_cast<size_t>(i)]);
  P0->setAccessibleDescription(text + ".");
}

void frmMain::Update_ClickList() { ClickList->Update_ClickList(s_, !modelUsable_); }

void frmMain::Control_Buttons(bool enable) {
  for (QPushButton* b : Commands->cbButton) b->setEnabled(enable);
  btnControl->setEnabled(enable);
  if (!enable) return;
  Commands->cbButton[s_.MetricUnits ? kMetric : kImperial]->setEnabled(false);
  // Until the printer count is in, and with no printer at all, the two output
  // commands stay disabled.
  if (PrinterCount().value_or(0) == 0) {
    Commands->cbButton[kSaveCsv]->setEnabled(false);
    Commands->cbButton[kPrintList]->setEnabled(false);
  }
}

void frmMain::Do_Units_Stuff() {
  Commands->cbButton[kImperial]->setEnabled(s_.MetricUnits);
  Commands->cbButton[kMetric]->setEnabled(!s_.MetricUnits);
  Rows->Update_Boxes();
}

// What the window does at each step of a calculation: the rows take the
// collected texts, the controls go quiet while the search runs, the event
// loop turns once per candidate, and every better model is drawn at once.
class frmMain::FitSteps : public CalculateSteps {
 public:
  explicit FitSteps(frmMain& w) : w_(w) {}
  void Collected(const RowTexts& ranges, const RowTexts& clicks) override { w_.FitCollected(ranges, clicks); }
  void Started() override { w_.FitStarted(); }
  bool Candidate() override {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    return !w_.StopRequested();
  }
  void Improved(const State&, double) override {
    w_.Setup_P5();
    w_.Update_P5(255);
  }

 private:
  frmMain& w_;
};

void frmMain::FitCollected(const RowTexts& ranges, const RowTexts& clicks) {
  Rows->SetTexts(ranges, clicks);
  Rows->Update_Boxes();
}

void frmMain::FitStarted() {
  busy_ = true;
  Control_Buttons(false);
  for (size_t k = 0; k < kRows; ++k) {
    Rows->RFrm[k]->setEnabled(false);
    Rows->ErrorInd[k]->setText("(?)");
    Rows->ErrorInd[k]->setVisible(s_.IsTicked(static_cast<int>(k)));
  }
  Working->setText("Working");
  Frame3->move((width() - Frame3->width()) / 2, (height() - Frame3->height()) / 2);
  Working->setVisible(true);
  Frame3->setVisible(true);
  Frame3->raise();
  Timer1->start();
  Setup_P5();
}

void frmMain::Calculate() {
  if (!s_.FormReady || busy_) return;
  Timer1->stop();
  // The control that has the focus gets it back after the fit (the commands
  // lose it while they are disabled).
  QPointer<QWidget> focus = QApplication::focusWidget();
  FitSteps steps(*this);
  const Calculation fit = CalculateModel(s_, Rows->RangeTexts(), Rows->ClickTexts(), steps);
  if (fit.refused) {
    ShowError(fit.refused->title, fit.refused->body);
    return;
  }
  if (afterFit_ != AfterFit::Nothing) {
    // The window was closed (or reset) during the search: the model holds
    // the best candidate found so far, and the window ends from here.
    Timer1->stop();
    busy_ = false;
    if (afterFit_ == AfterFit::Reset)
      Reset();
    else
      Form_QueryUnload();
    return;
  }

  const FitFinish& finish = fit.finish;
  modelUsable_ = !finish.problem;
  Timer1->stop();
  Working->setText("Complete");
  Working->setVisible(true);
  Working->repaint();
  platform::Pause(completePauseMs_);
  Frame3->hide();
  repaint();
  for (size_t k = 0; k < kRows; ++k) Rows->RFrm[k]->setEnabled(true);
  if (!finish.problem) ApplyLabels(finish.labels);
  Setup_P5();
  if (modelUsable_) Update_P5(255);
  Update_ClickList();
  Control_Buttons(true);
  busy_ = false;
  if (focus && focus->window() == this && focus->isEnabled())
    focus->setFocus(Qt::OtherFocusReason);
  else
    Commands->cbButton[kCalculate]->setFocus(Qt::OtherFocusReason);
  if (auto problem = fit.problem()) ShowError(kModelErrorTitle, *problem);
}

void frmMain::cbButton_Click(int index) {
  switch (index) {
    case kExit: close(); break;
    case kCalculate:
      Calculate();
      DrawOutline();
      break;
    case kSaveCsv: Save_CSV(); break;
    case kImperial:
    case kMetric: {
      // The focus goes from the pressed button to the other one, which the switch enables.
      QPushButton* other = Commands->cbButton[index == kMetric ? kImperial : kMetric];
      other->setEnabled(true);
      if (Commands->cbButton[static_cast<size_t>(index)]->hasFocus()) other->setFocus(Qt::OtherFocusReason);
      s_.MetricUnits = index == kMetric;
      Do_Units_Stuff();
      repaint();
      cbButton_Click(kCalculate);
      break;
    }
    case kPrintList: Print_List(); break;
    default: break;
  }
}

void frmMain::btnControl_Click() { close(); }

void frmMain::btnControl_MouseMove() { btnControl->SetBackColor(kCloseBoxHover); }

void frmMain::Form_MouseUp() { btnControl->SetBackColor(kCloseBoxRest); }

bool frmMain::Form_KeyDown(int keyCode, int shift) {
  bool handled = false;
  if (keyCode == 27) {
    close();
    handled = true;
  }
  if (keyCode == 80 && (shift & 2)) {
    if (!busy_ && !ended_) Print_Window();
    handled = true;
  }
  return handled;
}

void frmMain::Timer1_Timer() {
  blink_ = blink_ >= 32767 ? 0 : blink_ + 1;
  Working->setVisible(blink_ % 2 == 0);
}

void frmMain::Copyright_MouseDown(int button, int shift) {
  if (button != 2 || shift != 1 || ended_ || waitingForStore_) return;
  if (busy_) {  // the search stops first; the reset follows at once
    afterFit_ = AfterFit::Reset;
    return;
  }
  Reset();
}

void frmMain::Reset() {
  ended_ = true;  // the window ends without its closing save
  hide();
  try {
    ResetSettings(store_, s_.SettingsPath);
  } catch (const std::exception& e) {
    ShowStoreError(e);
    End(1);
    return;
  }
  End(0);
}

void frmMain::AppTitle_MouseDown(int button) {
  if (button != 1) return;
  AppTitle[0]->setCursor(Qt::SizeAllCursor);
  if (platform::StartSystemMove(this)) {
    AppTitle[0]->setCursor(platform::ProgramCursor());
    return;
  }
  // No system move here (no window manager, some remote desktops): the
  // window follows the mouse until the button is released, with the move
  // pointer on both title copies meanwhile.
  dragging_ = true;
  dragOffset_ = mouseAt_ - pos();
  AppTitle[1]->setCursor(Qt::SizeAllCursor);
}

void frmMain::AppTitle_MouseMove() {
  if (btnControl->BackColor() != kCloseBoxRest) btnControl->SetBackColor(kCloseBoxRest);
  if (dragging_) {
    move(mouseAt_ - dragOffset_);
    return;
  }
  AppTitle[1]->setCursor(platform::ProgramCursor());
}

void frmMain::AppTitle_MouseUp(int button) {
  if (button != 1) return;
  dragging_ = false;
  for (QLabel* t : AppTitle) t->setCursor(platform::ProgramCursor());
}

void frmMain::Save_CSV() {
  const CsvSave saved = SaveCsv(s_, exportFolder_);
  if (!saved.ok) {
    ShowError("File Not Saved", saved.message);
    return;
  }
  FileSaved(saved.path);
}

void frmMain::FileSaved(const std::string& path) {
  QMessageBox box(QMessageBox::Information, "File Saved", "File saved as\n" + QString::fromStdString(path),
                  QMessageBox::Ok, this);
  platform::ExecModal(box);
}

PrintNotices frmMain::Notices() {
  return {[](const std::string& why) { ShowError("Print System", why); },
          [this](const std::string& path) { FileSaved(path); }};
}

void frmMain::SetPrintService(std::unique_ptr<platform::PrintService> service) { printService_ = std::move(service); }

void frmMain::Print_List() {
  if (auto problem = PrintListOnCurrentPrinter(s_, *printService_, this, exeName_, Notices()))
    ShowError("Printing Failed", *problem);
}

void frmMain::Print_Window() {
  if (PrinterCount().value_or(0) == 0) return;  // nothing to print on, or not known yet
  if (!PrinterReady(s_, *printService_, this, Notices())) return;
  // The picture of the window as it looks now, outline included, also
  // handed to the clipboard.
  const QImage picture = platform::GrabToClipboard(this);
  if (auto problem = PrintWindowPicture(*printService_, picture, exeName_, Notices()))
    ShowError("Printing Failed", *problem);
}

void frmMain::closeEvent(QCloseEvent* e) {
  if (busy_ && !waitingForStore_) {  // the search stops at its next candidate; the window then closes
    e->ignore();
    if (afterFit_ == AfterFit::Nothing) afterFit_ = AfterFit::Close;
    return;
  }
  e->accept();
  if (ended_) return;
  Form_QueryUnload();
}

void frmMain::Form_QueryUnload() {
  ended_ = true;
  hide();
  if (waitingForStore_) {  // nothing was loaded, so nothing can have changed
    End(0);
    return;
  }
  if (!loaded_.MaySave()) {  // what could not be read is not written over
    QMessageBox box(QMessageBox::Critical, QString::fromStdString(exeName_),
                    QString::fromStdString(NotSavedMessage(loaded_)), QMessageBox::Ok);
    platform::ExecModal(box);
    End(1);
    return;
  }
  try {
    SaveData(store_, s_, DecimalPoint());
  } catch (const std::exception& e) {
    ShowStoreError(e);
    End(1);
    return;
  }
  End(0);
}

void frmMain::ShowStoreError(const std::exception& e) {
  QString text;
  if (auto* r = dynamic_cast<const RegistryError*>(&e)) {
    text = "Run-time error '" + QString::number(r->number()) + "':\n\n" + QString::fromStdString(r->description()) +
           (r->detail().empty() ? QString() : "\n\n" + QString::fromStdString(r->detail())) +
           "\n\nSource: " + QString::fromStdString(r->source());
  } else {
    text = QString::fromStdString(e.what());
  }
  QMessageBox box(QMessageBox::Critical, QString::fromStdString(exeName_), text, QMessageBox::Ok);
  platform::ExecModal(box);
}

void frmMain::End(int status) {
  ended_ = true;
  exitStatus_ = status;
  emit ended(status);
  if (quitOnEnd_) QCoreApplication::exit(status);
}

bool frmMain::InThisWindow(QObject* o) const {
  auto* w = qobject_cast<QWidget*>(o);
  return w && w->window() == this;
}

bool frmMain::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::KeyPress:
      // Key preview: the window sees every key pressed in it first.
      if (InThisWindow(watched)) {
        auto* ke = static_cast<QKeyEvent*>(event);
        // Enter acts on the focused command button, as Space does.
        auto* button = qobject_cast<QPushButton*>(watched);
        if (button && (ke->key() == Qt::Key_Return || ke->key() == Qt::Key_Enter) && button->isEnabled() &&
            (ke->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
          button->click();
          return true;
        }
        const int code = ke->key() == Qt::Key_Escape ? 27 : ke->key() == Qt::Key_P ? 80 : 0;
        if (code && Form_KeyDown(code, ShiftState(ke->modifiers()))) return true;
      }
      break;
    case QEvent::MouseButtonPress: {
      auto* me = static_cast<QMouseEvent*>(event);
      mouseAt_ = me->globalPosition().toPoint();
      const int button = me->button() == Qt::LeftButton ? 1 : me->button() == Qt::RightButton ? 2 : 4;
      if (watched == AppTitle[0] || watched == AppTitle[1]) AppTitle_MouseDown(button);
      if (watched == Copyright) Copyright_MouseDown(button, ShiftState(me->modifiers()));
      break;
    }
    case QEvent::MouseMove:
      mouseAt_ = static_cast<QMouseEvent*>(event)->globalPosition().toPoint();
      if (watched == AppTitle[0] || watched == AppTitle[1]) AppTitle_MouseMove();
      if (watched == btnControl) btnControl_MouseMove();
      break;
    case QEvent::MouseButtonRelease: {
      auto* me = static_cast<QMouseEvent*>(event);
      if (watched == AppTitle[0] || watched == AppTitle[1]) AppTitle_MouseUp(me->button() == Qt::LeftButton ? 1 : 2);
      if (watched == Surface) Form_MouseUp();
      if (watched == btnControl && me->button() == Qt::LeftButton && btnControl->rect().contains(me->position().toPoint()))
        btnControl->click();
      break;
    }
    default: break;
  }
  return QWidget::eventFilter(watched, event);
}

void frmMain::SaveAtExit() {
  if (ended_) return;
  ended_ = true;
  if (!loaded_.MaySave()) return;  // what could not be read is not written over
  try {
    SaveData(store_, s_, DecimalPoint());
  } catch (const RegistryError& e) {
    std::fprintf(stderr, "%s: settings not saved: run-time error %ld: %s (source: %s) %s\n", exeName_.c_str(), long{e.number()},
                 e.description().c_str(), e.source().c_str(), e.detail().c_str());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s: settings not saved: %s\n", exeName_.c_str(), e.what());
  }
}

}  // namespace vantorel
