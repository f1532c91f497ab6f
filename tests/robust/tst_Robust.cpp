// Bad input, arithmetic errors and failed saves, driven through the real window: a refusal
// changes nothing and says why, a Stop always stops, an error ends the run (not the program)
// and leaves the last complete step, and going on afterwards works.
#include "EngineError.h"
#include "FieldImage.h"
#include "Intake.h"
#include "Integrators.h"
#include "ModelBoxes.h"
#include "frmMain.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <bit>
#include <functional>
#include <memory>

namespace {

constexpr int kIters = rd::kItersBox;
constexpr int kSize = rd::kSizeBox;

enum class Trigger { Start, ModelChoice, Clear, PanelRelease };

QLineEdit* boxFor(frmMain& w, int index)
{
    if (index == kIters)
        return w.Text2;
    if (index == kSize)
        return w.Text3;
    return w.Text1[static_cast<std::size_t>(index)];
}

void type(QLineEdit* box, const QString& text)
{
    box->clear();
    QTest::keyClicks(box, text);
}

QAction* menuEntry(frmMain& w, rd::Model m)
{
    switch (m) {
    case rd::Model::GiererMeinhardt:
        return w.mnuGM;
    case rd::Model::Schnakenberg:
        return w.mnuSch;
    case rd::Model::GrayScott:
        return w.mnuGS;
    case rd::Model::Oregonator:
        break;
    }
    return w.mnuOre;
}

// A valid text for each kind of box, other than its start-up text.
QString changedText(rd::BoxField f)
{
    switch (f) {
    case rd::BoxField::UMax:
        return QStringLiteral("2");
    case rd::BoxField::VMax:
        return QStringLiteral("4");
    case rd::BoxField::ScalingFactor:
        return QStringLiteral("0.02");
    case rd::BoxField::Du:
        return QStringLiteral("2");
    case rd::BoxField::Dv:
        return QStringLiteral("10");
    case rd::BoxField::KA:
        return QStringLiteral("0.2");
    case rd::BoxField::KB:
        return QStringLiteral("1.25");
    case rd::BoxField::KC:
        break;
    }
    return QStringLiteral("0.75");
}

float fieldOf(const rd::SimState& s, rd::BoxField f)
{
    switch (f) {
    case rd::BoxField::UMax:
        return s.uMax;
    case rd::BoxField::VMax:
        return s.vMax;
    case rd::BoxField::ScalingFactor:
        return s.reactGain;
    case rd::BoxField::Du:
        return s.Du;
    case rd::BoxField::Dv:
        return s.Dv;
    case rd::BoxField::KA:
        return s.kA;
    case rd::BoxField::KB:
        return s.kB;
    case rd::BoxField::KC:
        break;
    }
    return s.kC;
}

std::uint32_t bits(float f)
{
    return std::bit_cast<std::uint32_t>(f);
}

bool sameBits(const std::vector<float>& a, const std::vector<float>& b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (bits(a[i]) != bits(b[i]))
            return false;
    return true;
}

// Everything a refused intake must leave alone.
struct Snapshot {
    rd::SimState s;
    std::array<QImage, 7> images; // Picture1, Picture2, Picture3, Picture40..43
    std::array<QRectF, 7> scales;
    std::array<QRect, 3> geometry; // Picture1..3
    QString label63, label102; // formula labels that repeat a box's text

    static Snapshot of(frmMain& w)
    {
        Snapshot n;
        n.s = w.state;
        const std::array<PictureBox*, 7> boxes { w.Picture1, w.Picture2, w.Picture3, w.Picture40,
            w.Picture41, w.Picture42, w.Picture43 };
        for (std::size_t i = 0; i < boxes.size(); ++i) {
            n.images[i] = boxes[i]->image().copy();
            n.scales[i] = QRectF(QPointF(boxes[i]->scaleLeft(), boxes[i]->scaleTop()),
                QPointF(boxes[i]->scaleRight(), boxes[i]->scaleBottom()));
        }
        n.geometry = { w.Picture1->geometry(), w.Picture2->geometry(), w.Picture3->geometry() };
        n.label63 = w.Label1[63]->text();
        n.label102 = w.Label1[102]->text();
        return n;
    }

    // The first difference, or empty.
    QString differenceFrom(const Snapshot& o) const
    {
        const std::pair<const char*, const std::vector<float>*> arrays[]
            = { { "uA", &s.uA }, { "vA", &s.vA }, { "uB", &s.uB }, { "vB", &s.vB } };
        const std::vector<float>* other[] = { &o.s.uA, &o.s.vA, &o.s.uB, &o.s.vB };
        for (int i = 0; i < 4; ++i)
            if (!sameBits(*arrays[i].second, *other[i]))
                return QStringLiteral("array %1").arg(arrays[i].first);
        const std::pair<const char*, std::pair<float, float>> floats[] = { { "dt",
                                                                               { s.dt, o.s.dt } },
            { "dx", { s.dx, o.s.dx } }, { "uMax", { s.uMax, o.s.uMax } },
            { "vMax", { s.vMax, o.s.vMax } }, { "grayScale", { s.grayScale, o.s.grayScale } },
            { "kA", { s.kA, o.s.kA } }, { "kB", { s.kB, o.s.kB } }, { "kC", { s.kC, o.s.kC } },
            { "reactGain", { s.reactGain, o.s.reactGain } }, { "Du", { s.Du, o.s.Du } },
            { "Dv", { s.Dv, o.s.Dv } }, { "cu", { s.cu, o.s.cu } }, { "cv", { s.cv, o.s.cv } },
            { "su", { s.su, o.s.su } }, { "sv", { s.sv, o.s.sv } },
            { "synU", { s.synU, o.s.synU } }, { "synV", { s.synV, o.s.synV } } };
        for (const auto& [name, pair] : floats)
            if (bits(pair.first) != bits(pair.second))
                return QString::fromLatin1(name);
        const std::pair<const char*, std::pair<int, int>> ints[]
            = { { "nCells", { s.nCells, o.s.nCells } }, { "lastIdx", { s.lastIdx, o.s.lastIdx } },
                  { "lastInner", { s.lastInner, o.s.lastInner } },
                  { "itersPerImage", { s.itersPerImage, o.s.itersPerImage } },
                  { "running", { s.running, o.s.running } }, { "phaseA", { s.phaseA, o.s.phaseA } },
                  { "mouseDown", { s.mouseDown, o.s.mouseDown } },
                  { "paintU", { s.paintU, o.s.paintU } } };
        for (const auto& [name, pair] : ints)
            if (pair.first != pair.second)
                return QString::fromLatin1(name);
        for (std::size_t i = 0; i < images.size(); ++i) {
            if (images[i] != o.images[i])
                return QStringLiteral("image of picture box %1").arg(i);
            if (scales[i] != o.scales[i])
                return QStringLiteral("scale of picture box %1").arg(i);
        }
        for (std::size_t i = 0; i < geometry.size(); ++i)
            if (geometry[i] != o.geometry[i])
                return QStringLiteral("place of Picture%1").arg(i + 1);
        if (label63 != o.label63 || label102 != o.label102)
            return QStringLiteral("formula labels");
        return {};
    }
};

QMessageBox* messageBox(frmMain& w)
{
    return w.findChild<QMessageBox*>();
}

// Runs `action` from inside the run loop on every pass until it returns true; a guard ends
// any run that goes on too long, so no test can hang.
class InRun {
public:
    InRun(frmMain& w, std::function<bool()> action)
        : w_(w)
        , action_(std::move(action))
    {
        timer_.setInterval(0);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            if (action_())
                timer_.stop();
        });
        guard_.setSingleShot(true);
        guard_.setInterval(20000);
        QObject::connect(&guard_, &QTimer::timeout, [this] {
            guardFired = true;
            w_.state.running = rd::kFalse;
        });
        timer_.start();
        guard_.start();
    }
    bool guardFired = false;

private:
    frmMain& w_;
    std::function<bool()> action_;
    QTimer timer_, guard_;
};

int shownCounter(frmMain& w)
{
    return w.Label2->text().toInt();
}

// Stops the run (a Stop click) once the counter shows `counter`.
bool stopAt(frmMain& w, int counter)
{
    if (!w.state.running || shownCounter(w) < counter)
        return false;
    QTest::mouseClick(w.Run, Qt::LeftButton);
    return true;
}

struct Failure {
    int iteration = 0;
    std::string what;
    rd::EngineError::Kind kind {};
};

// Steps a copy of the state with the engine alone until a step fails (at most `limit`).
// On return `s` holds what the window's run must have left in its arrays.
std::optional<Failure> stepUntilFailure(rd::SimState& s, rd::Model m, bool oneD, int limit)
{
    for (int n = 1; n <= limit; ++n) {
        try {
            if (oneD)
                rd::Step1D(s, m);
            else if (s.phaseA)
                rd::Step2DFromA(s, m);
            else
                rd::Step2DFromB(s, m);
        } catch (const rd::EngineError& e) {
            return Failure { n, e.what(), e.kind() };
        }
    }
    return std::nullopt;
}

const std::vector<float>& currentU(const rd::SimState& s)
{
    return s.phaseA ? s.uA : s.uB;
}
const std::vector<float>& currentV(const rd::SimState& s)
{
    return s.phaseA ? s.vA : s.vB;
}

QString runStoppedText(int iteration, const std::string& what)
{
    return QStringLiteral("The run stopped at iteration %1: %2. The field shows the last "
                          "complete step; change the settings and press Start to go on.")
        .arg(iteration)
        .arg(QString::fromStdString(what));
}

// Every control a user can reach is still enabled (the checked model's entry is disabled
// by design).
QString disabledControl(frmMain& w)
{
    const std::pair<const char*, QWidget*> widgets[] = { { "Run", w.Run }, { "Random", w.Random },
        { "Clear", w.Clear }, { "Spiral", w.Spiral }, { "Option1(0)", w.Option1[0] },
        { "Option1(1)", w.Option1[1] }, { "Slider1", w.Slider1 }, { "Slider2", w.Slider2 },
        { "Text2", w.Text2 }, { "Text3", w.Text3 } };
    for (const auto& [name, widget] : widgets)
        if (!widget->isEnabled())
            return QString::fromLatin1(name);
    for (QLineEdit* box : w.Text1)
        if (box && !box->isEnabled())
            return box->objectName();
    if (!w.mnuSaveAs->isEnabled())
        return QStringLiteral("Save As");
    for (QAction* a : { w.mnuGM, w.mnuSch, w.mnuGS, w.mnuOre })
        if (a->isEnabled() == a->isChecked())
            return a->text();
    return {};
}

} // namespace

class TestRobust : public QObject {
    Q_OBJECT

private slots:
    void refusalChangesNothing_data();
    void refusalChangesNothing();
    void stopStopsDespiteBadBox();
    void refusalDuringRunStopsIt_data();
    void refusalDuringRunStopsIt();
    void overflowEndsRunAndGoingOnWorks_data();
    void overflowEndsRunAndGoingOnWorks();
    void oregonatorWithoutDivisor_data();
    void oregonatorWithoutDivisor();
    void redrawPeriodIsNeverZero();
    void phasePlotOverflow();
    void saveAsFailures();
};

void TestRobust::refusalChangesNothing_data()
{
    QTest::addColumn<int>("model");
    QTest::addColumn<int>("box"); // Text1 index, or kIters / kSize
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("twoD");
    QTest::addColumn<int>("triggerNumber");

    const QString unchanged = QStringLiteral(" The settings were not changed.");
    struct Case {
        const char* tag;
        rd::Model model;
        int box;
        const char* typed;
        const char* message;
    };
    using enum rd::Model;
    const Case cases[] = {
        { "empty Iteration", GiererMeinhardt, kIters, "",
            "Iteration / Image: the box is empty; a number is needed." },
        { "Iteration 0.4", Schnakenberg, kIters, "0.4",
            "Iteration / Image: \"0.4\" must not round to 0." },
        { "Iteration 3e9", GrayScott, kIters, "3e9",
            "Iteration / Image: \"3e9\" is out of range (whole numbers from -2147483648 to "
            "2147483647)." },
        { "Iteration 1,5", Oregonator, kIters, "1,5",
            "Iteration / Image: \"1,5\" is not a number." },
        { "Size 0.4", GiererMeinhardt, kSize, "0.4",
            "Field Size: \"0.4\" gives fewer than 1 cell." },
        { "Size -5", Oregonator, kSize, "-5", "Field Size: \"-5\" gives fewer than 1 cell." },
        { "Size 1e10", Schnakenberg, kSize, "1e10",
            "Field Size: \"1e10\" is out of range (at most 129 cells are used)." },
        { "Size 0x40", GrayScott, kSize, "0x40", "Field Size: \"0x40\" is not a number." },
        { "uMax 0", GiererMeinhardt, 0, "0", "u range of Gierer-Meinhardt: \"0\" must not be 0." },
        { "uMax -0", GrayScott, 20, "-0", "u range of Gray-Scott: \"-0\" must not be 0." },
        { "uMax 1e-37", Schnakenberg, 10, "1e-37",
            "u range of Schnakenberg: \"1e-37\" is too close to 0 (255 divided by it exceeds "
            "about 3.4e38)." },
        { "uMax 1e-50", Oregonator, 30, "1e-50",
            "u range of Oregonator: \"1e-50\" must not be 0." },
        { "vMax 0", Oregonator, 31, "0.0", "v range of Oregonator: \"0.0\" must not be 0." },
        { "scaling abc", GiererMeinhardt, 2, "abc",
            "scaling factor of Gierer-Meinhardt: \"abc\" is not a number." },
        { "scaling 1e39", GrayScott, 22, "1e39",
            "scaling factor of Gray-Scott: \"1e39\" is too large (times the time step it "
            "exceeds about 3.4e38)." },
        { "scaling 1e309", Schnakenberg, 12, "1e309",
            "scaling factor of Schnakenberg: \"1e309\" is too large (the limit is about "
            "1.8e308)." },
        { "Du nan", GrayScott, 23, "nan", "Du of Gray-Scott: \"nan\" is not a number." },
        { "Dv inf", GrayScott, 24, "inf", "Dv of Gray-Scott: \"inf\" is not a number." },
        { "Dv -inf", GiererMeinhardt, 4, "-inf",
            "Dv of Gierer-Meinhardt: \"-inf\" is not a number." },
        { "kA 1e39", Schnakenberg, 15, "1e39",
            "supply of u of Schnakenberg: \"1e39\" is too large (the limit is about 3.4e38)." },
        { "kA 1 000", Oregonator, 36, "1 000",
            "inhibitor weight of Oregonator: \"1 000\" is not a number." },
        { "kB 1e", GiererMeinhardt, 6, "1e",
            "decay rate of u of Gierer-Meinhardt: \"1e\" is not a number." },
        { "kB --1", Oregonator, 37, "--1",
            "inhibitor offset of Oregonator: \"--1\" is not a number." },
        { "kC empty", GiererMeinhardt, 7, "",
            "saturation constant of Gierer-Meinhardt: the box is empty; a number is needed." },
        { "kC -3.5e38", Oregonator, 35, "-3.5e38",
            "divisor of the u rate of Oregonator: \"-3.5e38\" is too large (the limit is about "
            "3.4e38)." },
        { "kB .", GrayScott, 26, ".", "removal rate of u of Gray-Scott: \".\" is not a number." },
    };
    const std::pair<const char*, Trigger> triggers[]
        = { { "Start", Trigger::Start }, { "model choice", Trigger::ModelChoice },
              { "Clear", Trigger::Clear }, { "panel release", Trigger::PanelRelease } };
    int row = 0;
    for (const Case& c : cases) {
        for (const auto& [triggerName, trigger] : triggers) {
            const bool twoD = row++ % 2 == 1;
            QTest::addRow("%s, %s, %s", c.tag, triggerName, twoD ? "2D" : "1D")
                << static_cast<int>(c.model) << c.box << QString::fromUtf8(c.typed)
                << QString::fromUtf8(c.message) + unchanged << twoD << int(trigger);
        }
    }
}

void TestRobust::refusalChangesNothing()
{
    QFETCH(int, model);
    QFETCH(int, box);
    QFETCH(QString, typed);
    QFETCH(QString, message);
    QFETCH(bool, twoD);
    QFETCH(int, triggerNumber);
    const auto trigger = static_cast<Trigger>(triggerNumber);
    const auto m = static_cast<rd::Model>(model);

    frmMain w;
    w.show();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    // For a model choice, another model is checked before; otherwise the row's model.
    const rd::Model before = trigger != Trigger::ModelChoice ? m
        : m == rd::Model::GiererMeinhardt                    ? rd::Model::Schnakenberg
                                                             : rd::Model::GiererMeinhardt;
    if (before != rd::Model::GiererMeinhardt)
        menuEntry(w, before)->trigger();
    QCOMPARE(w.checkedModel(), before);
    if (twoD)
        QTest::mouseClick(w.Option1[1], Qt::LeftButton);
    QTest::mouseClick(w.Random, Qt::LeftButton);
    // A field in both sets and set B current, so a stray intake (which makes A current)
    // would show.
    for (std::size_t i = 0; i < w.state.uB.size(); ++i) {
        w.state.uB[i] = 0.25f + static_cast<float>(i % 7);
        w.state.vB[i] = 0.5f + static_cast<float>(i % 5);
    }
    w.state.phaseA = rd::kFalse;
    w.lastMessage.clear();
    const Snapshot start = Snapshot::of(w);

    // Every other box of the intake gets a new valid text, so a partial apply would show.
    type(w.Text2, QStringLiteral("7"));
    type(w.Text3, QStringLiteral("64"));
    for (const rd::BoxInfo& b : rd::modelInfo(m).boxes)
        type(boxFor(w, rd::boxIndex(m, b.slot)), changedText(b.field));
    QLineEdit* bad = boxFor(w, box);
    type(bad, typed);
    QCOMPARE(bad->text(), typed);

    const auto fire = [&] {
        switch (trigger) {
        case Trigger::Start:
            QTest::mouseClick(w.Run, Qt::LeftButton);
            break;
        case Trigger::ModelChoice:
            menuEntry(w, m)->trigger();
            break;
        case Trigger::Clear:
            QTest::mouseClick(w.Clear, Qt::LeftButton);
            break;
        case Trigger::PanelRelease:
            QTest::mouseClick(w.Picture4x[static_cast<std::size_t>(rd::modelNumber(m))],
                Qt::LeftButton, {}, QPoint(40, 50));
            break;
        }
    };
    fire();

    Snapshot after = Snapshot::of(w);
    if (trigger == Trigger::ModelChoice) {
        // The menu shows the choice; nothing of its settings is applied.
        QCOMPARE(w.checkedModel(), m);
    }
    const QString diff = after.differenceFrom(start);
    QVERIFY2(diff.isEmpty(), qPrintable(QStringLiteral("changed: ") + diff));
    QCOMPARE(w.state.running, rd::kFalse);
    QCOMPARE(w.Run->text(), QStringLiteral("Start"));
    QCOMPARE(w.lastMessage, message);
    QMessageBox* shown = messageBox(w);
    QVERIFY(shown);
    QVERIFY(shown->isVisible());
    QVERIFY(!shown->isModal());
    QCOMPARE(shown->windowTitle(), QStringLiteral("Settings not applied"));
    QCOMPARE(shown->text(), message);
    QVERIFY(!bad->styleSheet().isEmpty());
    QCOMPARE(w.focusWidget(), bad);
    QCOMPARE(bad->text(), typed); // the text stays for the user to fix
    for (QLineEdit* other : w.Text1)
        if (other && other != bad)
            QVERIFY(other->styleSheet().isEmpty());

    // Fixed, the same action goes through and the mark goes away.
    QString fixedText = box == kIters ? QStringLiteral("7") : QStringLiteral("64");
    std::optional<rd::BoxField> badField;
    for (const rd::BoxInfo& b : rd::modelInfo(m).boxes)
        if (rd::boxIndex(m, b.slot) == box)
            badField = b.field;
    if (badField)
        fixedText = changedText(*badField);
    type(bad, fixedText);
    w.lastMessage.clear();
    if (trigger == Trigger::Start) {
        // The run that now starts is stopped after its first step.
        InRun stop(w, [&] { return stopAt(w, 2); });
        fire();
        QVERIFY(!stop.guardFired);
    } else if (trigger == Trigger::ModelChoice) {
        // The checked entry is disabled; choosing another model and back repeats the choice.
        menuEntry(w, before)->trigger();
        fire();
    } else {
        fire();
    }
    QVERIFY2(w.lastMessage.isEmpty(), qPrintable(w.lastMessage));
    QVERIFY(bad->styleSheet().isEmpty());
    QCOMPARE(w.checkedModel(), m);
    QCOMPARE(w.state.itersPerImage, 7);
    QCOMPARE(w.state.nCells, 64);
    QCOMPARE(w.state.uA.size(), twoD ? std::size_t(64 * 64 + 1) : std::size_t(65));
    QCOMPARE(w.state.uMax, 2.0f);
    QCOMPARE(w.state.grayScale, 127.5f);
    if (badField)
        QCOMPARE(bits(fieldOf(w.state, *badField)), bits(changedText(*badField).toFloat()));
}

void TestRobust::stopStopsDespiteBadBox()
{
    frmMain w;
    w.show();
    QTest::mouseClick(w.Option1[1], Qt::LeftButton);
    QTest::mouseClick(w.Random, Qt::LeftButton);
    rd::SimState beforeStop;
    int counterAtStop = 0;
    InRun act(w, [&] {
        if (shownCounter(w) < 4)
            return false;
        type(w.Text1[4], QStringLiteral("abc"));
        beforeStop = w.state;
        counterAtStop = shownCounter(w);
        QTest::mouseClick(w.Run, Qt::LeftButton);
        return true;
    });
    QTest::mouseClick(w.Run, Qt::LeftButton);
    QVERIFY(!act.guardFired);
    QCOMPARE(w.state.running, rd::kFalse);
    QCOMPARE(w.Run->text(), QStringLiteral("Start"));
    // No step after the Stop, and nothing applied by it.
    QCOMPARE(shownCounter(w), counterAtStop);
    QVERIFY(sameBits(w.state.uA, beforeStop.uA) && sameBits(w.state.uB, beforeStop.uB));
    QCOMPARE(w.state.phaseA, beforeStop.phaseA);
    QCOMPARE(bits(w.state.Dv), bits(20.0f));
    QCOMPARE(w.lastMessage,
        QStringLiteral("Dv of Gierer-Meinhardt: \"abc\" is not a number. The settings were not "
                       "changed. The run was stopped."));
    QCOMPARE(w.focusWidget(), w.Text1[4]);

    // A Start with the box still bad starts nothing.
    w.lastMessage.clear();
    QTest::mouseClick(w.Run, Qt::LeftButton);
    QCOMPARE(w.state.running, rd::kFalse);
    QCOMPARE(w.Run->text(), QStringLiteral("Start"));
    QCOMPARE(shownCounter(w), counterAtStop);
    QCOMPARE(w.lastMessage,
        QStringLiteral("Dv of Gierer-Meinhardt: \"abc\" is not a number. The settings were not "
                       "changed."));
}

void TestRobust::refusalDuringRunStopsIt_data()
{
    QTest::addColumn<int>("trigger");
    QTest::addColumn<bool>("twoD");
    for (bool twoD : { false, true }) {
        const char* dim = twoD ? "2D" : "1D";
        QTest::addRow("model choice, %s", dim) << int(Trigger::ModelChoice) << twoD;
        QTest::addRow("Clear, %s", dim) << int(Trigger::Clear) << twoD;
        QTest::addRow("panel release, %s", dim) << int(Trigger::PanelRelease) << twoD;
    }
}

void TestRobust::refusalDuringRunStopsIt()
{
    QFETCH(int, trigger);
    QFETCH(bool, twoD);
    frmMain w;
    w.show();
    if (twoD)
        QTest::mouseClick(w.Option1[1], Qt::LeftButton);
    QTest::mouseClick(w.Random, Qt::LeftButton);
    const auto t = static_cast<Trigger>(trigger);
    // The model choice goes to Gray-Scott with a bad box of its own; the other triggers read
    // the running model's boxes.
    QLineEdit* bad = t == Trigger::ModelChoice ? w.Text1[21] : w.Text1[1];
    const QString expected = t == Trigger::ModelChoice
        ? QStringLiteral("v range of Gray-Scott: \"0\" must not be 0.")
        : QStringLiteral("v range of Gierer-Meinhardt: \"0\" must not be 0.");
    rd::SimState atRefusal;
    int counterAtRefusal = 0;
    InRun act(w, [&] {
        if (shownCounter(w) < 3)
            return false;
        type(bad, QStringLiteral("0"));
        counterAtRefusal = shownCounter(w);
        if (t == Trigger::ModelChoice)
            w.mnuGS->trigger();
        else if (t == Trigger::Clear)
            QTest::mouseClick(w.Clear, Qt::LeftButton);
        else
            QTest::mouseClick(w.Picture40, Qt::LeftButton, {}, QPoint(30, 30));
        atRefusal = w.state;
        return true;
    });
    QTest::mouseClick(w.Run, Qt::LeftButton);
    QVERIFY(!act.guardFired);
    QCOMPARE(w.state.running, rd::kFalse);
    QCOMPARE(w.Run->text(), QStringLiteral("Start"));
    // The loop ended right after the refusal: no step with the unchecked settings.
    QCOMPARE(shownCounter(w), counterAtRefusal);
    QVERIFY(sameBits(w.state.uA, atRefusal.uA) && sameBits(w.state.vA, atRefusal.vA));
    QVERIFY(sameBits(w.state.uB, atRefusal.uB) && sameBits(w.state.vB, atRefusal.vB));
    QCOMPARE(bits(w.state.vMax), bits(3.0f));
    QCOMPARE(bits(w.state.kA), bits(0.1f)); // still Gierer-Meinhardt's
    QCOMPARE(w.lastMessage,
        expected + QStringLiteral(" The settings were not changed. The run was stopped."));
    QCOMPARE(w.focusWidget(), bad);
}

void TestRobust::overflowEndsRunAndGoingOnWorks_data()
{
    QTest::addColumn<bool>("twoD");
    QTest::addColumn<QString>("gain");
    // The gains make the field overflow after a few complete steps; with one of them the last
    // complete 2D step is in set B, with the other in set A.
    QTest::newRow("1D") << false << QStringLiteral("1e10");
    QTest::newRow("2D, set A complete") << true << QStringLiteral("1e10");
    QTest::newRow("2D, set B complete") << true << QStringLiteral("1e12");
}

void TestRobust::overflowEndsRunAndGoingOnWorks()
{
    QFETCH(bool, twoD);
    QFETCH(QString, gain);
    frmMain w;
    w.show();
    if (twoD)
        QTest::mouseClick(w.Option1[1], Qt::LeftButton);
    type(w.Text1[2], gain);
    QTest::mouseClick(w.Clear, Qt::LeftButton); // applies the gain, field at 0
    QVERIFY(w.lastMessage.isEmpty());
    // A few seeded cells so that the field is not uniform.
    for (std::size_t i = 0; i < w.state.uA.size(); i += 5)
        w.state.uA[i] = 0.5f;

    // The same run with the engine alone says where it must fail.
    rd::SimState expected = w.state;
    const auto failure = stepUntilFailure(expected, rd::Model::GiererMeinhardt, !twoD, 1000);
    QVERIFY(failure);
    QCOMPARE(failure->kind, rd::EngineError::Kind::Overflow);
    QVERIFY2(failure->iteration >= 2, "the first step already fails");

    InRun guard(w, [] { return false; });
    QTest::mouseClick(w.Run, Qt::LeftButton);
    QVERIFY(!guard.guardFired);
    QCOMPARE(w.state.running, rd::kFalse);
    QCOMPARE(w.Run->text(), QStringLiteral("Start"));
    QCOMPARE(w.lastMessage, runStoppedText(failure->iteration, failure->what));
    QMessageBox* shown = messageBox(w);
    QVERIFY(shown && shown->isVisible() && !shown->isModal());
    QCOMPARE(shown->windowTitle(), QStringLiteral("Run stopped"));

    // The current set is the last complete step, and it is what the field shows.
    QVERIFY(sameBits(currentU(w.state), currentU(expected)));
    QVERIFY(sameBits(currentV(w.state), currentV(expected)));
    for (const float x : currentU(w.state))
        QVERIFY(std::isfinite(x));
    if (twoD) {
        const int n = w.state.nCells;
        const QImage render = rd::renderField(currentU(w.state).data(), n, w.state.grayScale);
        QCOMPARE(w.Picture3->image().size(), render.size());
        QCOMPARE(w.Picture3->image().convertToFormat(QImage::Format_RGB32),
            render.convertToFormat(QImage::Format_RGB32));
    }
    const QString disabled = disabledControl(w);
    QVERIFY2(disabled.isEmpty(), qPrintable(disabled));

    // Sane settings and Start go on from that step.
    const std::vector<float> lastU = currentU(w.state), lastV = currentV(w.state);
    type(w.Text1[2], QStringLiteral("0.01"));
    w.lastMessage.clear();
    {
        InRun stop(w, [&] { return stopAt(w, 5); });
        QTest::mouseClick(w.Run, Qt::LeftButton);
        QVERIFY(!stop.guardFired);
    }
    QVERIFY2(w.lastMessage.isEmpty(), qPrintable(w.lastMessage));
    QCOMPARE(shownCounter(w), 5);
    QCOMPARE(w.state.running, rd::kFalse);
    rd::SimState sane = w.state;
    rd::applyIntake(sane,
        std::get<rd::IntakeValues>(rd::evaluateIntake(
            rd::defaultIntakeInput(rd::Model::GiererMeinhardt, !twoD), sane.dt, sane.dx)));
    sane.uA = lastU;
    sane.vA = lastV;
    QVERIFY(!stepUntilFailure(sane, rd::Model::GiererMeinhardt, !twoD, 4));
    QVERIFY(sameBits(w.state.uA, sane.uA) && sameBits(w.state.vA, sane.vA));
    if (twoD)
        QVERIFY(sameBits(w.state.uB, sane.uB) && sameBits(w.state.vB, sane.vB));
}

void TestRobust::oregonatorWithoutDivisor_data()
{
    QTest::addColumn<bool>("twoD");
    QTest::newRow("1D") << false;
    QTest::newRow("2D") << true;
}

void TestRobust::oregonatorWithoutDivisor()
{
    QFETCH(bool, twoD);
    frmMain w;
    w.show();
    w.mnuOre->trigger();
    if (twoD)
        QTest::mouseClick(w.Option1[1], Qt::LeftButton);
    type(w.Text1[35], QStringLiteral("0"));
    QTest::mouseClick(w.Random, Qt::LeftButton);
    const rd::SimState before = w.state;
    InRun guard(w, [] { return false; });
    QTest::mouseClick(w.Run, Qt::LeftButton); // the intake accepts kC = 0
    QVERIFY(!guard.guardFired);
    QCOMPARE(w.state.kC, 0.0f);
    QCOMPARE(w.state.running, rd::kFalse);
    QCOMPARE(w.Run->text(), QStringLiteral("Start"));
    QVERIFY(w.lastMessage.startsWith(
        QStringLiteral("The run stopped at iteration 1: Division by zero")));
    rd::SimState expected = w.state;
    expected.uA = before.uA;
    expected.vA = before.vA;
    expected.phaseA = rd::kTrue;
    const auto failure = stepUntilFailure(expected, rd::Model::Oregonator, !twoD, 1);
    QVERIFY(failure);
    QCOMPARE(failure->kind, rd::EngineError::Kind::DivisionByZero);
    QCOMPARE(w.lastMessage, runStoppedText(1, failure->what));
    // The field is the one before the run, and set A is current.
    QCOMPARE(w.state.phaseA, rd::kTrue);
    QVERIFY(sameBits(w.state.uA, before.uA) && sameBits(w.state.vA, before.vA));
    if (twoD)
        QCOMPARE(w.Picture3->image(),
            rd::renderField(before.uA.data(), w.state.nCells, w.state.grayScale));
    // With a divisor again the run goes.
    type(w.Text1[35], QStringLiteral("0.01"));
    w.lastMessage.clear();
    InRun stop(w, [&] { return stopAt(w, 3); });
    QTest::mouseClick(w.Run, Qt::LeftButton);
    QVERIFY(w.lastMessage.isEmpty());
    QCOMPARE(shownCounter(w), 3);
}

void TestRobust::redrawPeriodIsNeverZero()
{
    // "0.4" rounds to 0, which the run loop would divide by; "-0.6" rounds to -1, which is a
    // period of one (every step is drawn) and accepted.
    frmMain w;
    w.show();
    QTest::mouseClick(w.Option1[1], Qt::LeftButton);
    type(w.Text2, QStringLiteral("-0.6"));
    QTest::mouseClick(w.Random, Qt::LeftButton);
    InRun stop(w, [&] { return stopAt(w, 4); });
    QTest::mouseClick(w.Run, Qt::LeftButton);
    QVERIFY(w.lastMessage.isEmpty());
    QCOMPARE(w.state.itersPerImage, -1);
    QCOMPARE(shownCounter(w), 4);
}

void TestRobust::phasePlotOverflow()
{
    frmMain w;
    w.show();
    // Near the v axis the Schnakenberg reaction with gain 0.5 runs away within some dozens
    // of steps.
    w.mnuSch->trigger();
    type(w.Text1[12], QStringLiteral("0.5"));
    PictureBox* box = w.Picture41;
    const QPoint at(PictureBox::kBorderWidth + 6, box->height() / 2);
    QVERIFY(box->userX(6) > 0.1f && box->userX(6) < 0.3f);
    QTest::mouseClick(box, Qt::LeftButton, {}, at);
    const QRegularExpression pattern(QStringLiteral(
        "^The trajectory stopped at step (\\d+) of 10000: Overflow: a value left the "
        "single-precision range or an operation was invalid\\. The points drawn before it "
        "stay\\.$"));
    const auto match = pattern.match(w.lastMessage);
    QVERIFY2(match.hasMatch(), qPrintable(w.lastMessage));
    const int failedAt = match.captured(1).toInt();
    QVERIFY(failedAt >= 2);
    // The settings of the release stay applied.
    QCOMPARE(bits(w.state.reactGain), bits(0.5f));
    // The points before the failing step are drawn (black), nothing after.
    int black = 0;
    const QImage picture = box->image();
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            black += (picture.pixel(x, y) & 0xFFFFFF) == 0;
    QVERIFY(black >= 1);
    QVERIFY(black < failedAt);
    QCOMPARE(w.state.running, rd::kFalse);
    const QString disabled = disabledControl(w);
    QVERIFY2(disabled.isEmpty(), qPrintable(disabled));
    // Sane settings draw a whole trajectory without a message.
    type(w.Text1[12], QStringLiteral("0.01"));
    w.lastMessage.clear();
    QTest::mouseClick(box, Qt::LeftButton, {}, at);
    QVERIFY2(w.lastMessage.isEmpty(), qPrintable(w.lastMessage));
}

void TestRobust::saveAsFailures()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir.path()));
    struct Back {
        QString path;
        ~Back() { QDir::setCurrent(path); }
    } back { previous };

    frmMain w;
    w.show();
    // 1D: the first file is written whole; a directory in the way of the second is named.
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("Inhibitor_1D.bmp")));
    w.mnuSaveAs->trigger();
    QVERIFY(
        w.lastMessage.startsWith(QStringLiteral("\"Inhibitor_1D.bmp\" could not be written: ")));
    QVERIFY(
        w.lastMessage.endsWith(QStringLiteral(". Any earlier file of that name is unchanged.")));
    QImage first(QStringLiteral("Activator_1D.bmp"));
    QCOMPARE(first.size(), w.Picture1->image().size());
    QCOMPARE(first.convertToFormat(QImage::Format_RGB32), w.Picture1->image());
    QVERIFY(QFileInfo(QStringLiteral("Inhibitor_1D.bmp")).isDir());

    // 2D: an existing file stays as it was when its replacement cannot be written.
    QTest::mouseClick(w.Option1[1], Qt::LeftButton);
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("2D.bmp")));
    w.lastMessage.clear();
    w.mnuSaveAs->trigger();
    QVERIFY(w.lastMessage.startsWith(QStringLiteral("\"2D.bmp\" could not be written: ")));
    QVERIFY(QFileInfo(QStringLiteral("2D.bmp")).isDir());
    QVERIFY(QDir(dir.path()).rmdir(QStringLiteral("2D.bmp")));
    w.lastMessage.clear();
    w.mnuSaveAs->trigger();
    QVERIFY(w.lastMessage.isEmpty());
    QCOMPARE(QImage(QStringLiteral("2D.bmp")).convertToFormat(QImage::Format_RGB32),
        w.Picture3->image());
}

QTEST_MAIN(TestRobust)
#include "tst_Robust.moc"
