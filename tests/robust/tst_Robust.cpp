// Bad input and arithmetic errors, driven through the real window: a refusal
// changes nothing and says why, a Stop always stops, an error ends the run (not the program)
// and leaves the last complete step, and going on afterwards works.
#include "display/FieldImage.h"
#include "engine/EngineError.h"
#include "engine/Integrators.h"
#include "settings/Intake.h"
#include "settings/ModelBoxes.h"
#include "tests/support/GuiTestSupport.h"

#include <QtTest>
#include <QtWidgets>

namespace {

using rd::Model;
enum class Trigger { StartOrStop, ModelChoice, Clear, PanelRelease };

using gt::bits;
using gt::menuEntry;
using gt::sameBits;
using gt::typeInto;

void fire(frmMain& w, Trigger t, Model m)
{
    if (t == Trigger::ModelChoice)
        menuEntry(w, m)->trigger();
    else if (t == Trigger::Clear)
        gt::click(w.Clear);
    else if (t == Trigger::PanelRelease)
        QTest::mouseClick(
            w.Picture4x[std::size_t(rd::modelNumber(m))], Qt::LeftButton, {}, QPoint(40, 50));
    else
        gt::click(w.Run);
}

bool sameState(const rd::SimState& a, const rd::SimState& b)
{
    using S = rd::SimState;
    for (auto array : { &S::uA, &S::vA, &S::uB, &S::vB })
        if (!sameBits(a.*array, b.*array))
            return false;
    for (auto f : { &S::dt, &S::dx, &S::uMax, &S::vMax, &S::grayScale, &S::kA, &S::kB, &S::kC,
             &S::reactGain, &S::Du, &S::Dv, &S::cu, &S::cv, &S::su, &S::sv, &S::synU, &S::synV })
        if (bits(a.*f) != bits(b.*f))
            return false;
    return std::tie(a.nCells, a.lastIdx, a.lastInner, a.itersPerImage, a.running, a.phaseA,
               a.mouseDown, a.paintU)
        == std::tie(b.nCells, b.lastIdx, b.lastInner, b.itersPerImage, b.running, b.phaseA,
            b.mouseDown, b.paintU);
}

// Everything a refused intake must leave alone: the state, every picture box's picture and
// the formula labels that repeat a box's text.
struct Snapshot {
    rd::SimState s;
    std::vector<QImage> pictures;
    QStringList labels;
    explicit Snapshot(frmMain& w)
        : s(w.state)
        , labels { w.Label1[63]->text(), w.Label1[102]->text() }
    {
        for (PictureBox* b : { w.Picture1, w.Picture2, w.Picture3, w.Picture40, w.Picture41,
                 w.Picture42, w.Picture43 })
            pictures.push_back(b->image().copy());
    }
    bool operator==(const Snapshot& o) const
    {
        return sameState(s, o.s) && pictures == o.pictures && labels == o.labels;
    }
};

// Clicks Run and, once the counter shows `counter`, Stop (never, if 0); false if the run had to
// be ended for going on too long.
bool runUntil(frmMain& w, int counter)
{
    return gt::driveRun(w, [&](int) {
        if (counter && w.state.running && gt::counter(w) >= counter)
            gt::click(w.Run);
    }) >= 0;
}

// Steps the state with the engine alone until a step fails (at most `limit` steps); `s` is
// then what the window's run must have left. The failing iteration and its error.
std::optional<std::pair<int, rd::EngineError>> stepUntilFailure(
    rd::SimState& s, Model m, bool oneD, int limit)
{
    for (int n = 1; n <= limit; ++n) {
        try {
            rd::step(s, m, rd::dimensionOf(oneD));
        } catch (const rd::EngineError& e) {
            return std::pair { n, e };
        }
    }
    return std::nullopt;
}

// One row per trigger (the row's number), 2D in the odd rows; the texts are the intake's,
// tested with it. No model choice goes to Gierer-Meinhardt, which is checked before it.
struct Refusal {
    Model model;
    int box; // Text1 index, or kItersBox / kSizeBox
    const char* typed;
    const char* message;
};
constexpr Refusal kRefusals[] = {
    { Model::Oregonator, 31, "0.0", "v range of Oregonator: \"0.0\" must not be 0." },
    { Model::Schnakenberg, 10, "1e-37",
        "u range of Schnakenberg: \"1e-37\" is too close to 0 (255 divided by it exceeds about "
        "3.4e38)." },
    { Model::GiererMeinhardt, rd::kSizeBox, "0.4", "Field Size: \"0.4\" gives fewer than 1 cell." },
    { Model::GrayScott, 23, "nan", "Du of Gray-Scott: \"nan\" is not a number." },
};

void expectShown(frmMain& w, const QString& title, const QString& text)
{
    QMessageBox* shown = w.findChild<QMessageBox*>();
    QVERIFY(shown && shown->isVisible() && !shown->isModal());
    QCOMPARE(shown->windowTitle(), title);
    QCOMPARE(shown->text(), text);
}

} // namespace

class TestRobust : public QObject {
    Q_OBJECT

private slots:
    void refusalChangesNothing_data();
    void refusalChangesNothing();
    void stepErrorEndsRunAndGoingOnWorks_data();
    void stepErrorEndsRunAndGoingOnWorks();
};

void TestRobust::refusalChangesNothing_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<bool>("running");
    for (int row = 0; row < int(std::size(kRefusals)); ++row)
        for (const bool running : { false, true })
            QTest::addRow("%d \"%s\"%s", row, kRefusals[row].typed, running ? ", running" : "")
                << row << running;
}

void TestRobust::refusalChangesNothing()
{
    QFETCH(int, row);
    QFETCH(bool, running);
    const auto [model, box, typed, intakeMessage] = kRefusals[row];
    const auto trigger = static_cast<Trigger>(row);
    const bool twoD = row % 2 == 1;
    const QString message = QString::fromUtf8(intakeMessage)
        + QStringLiteral(" The settings were not changed.")
        + (running ? QStringLiteral(" The run was stopped.") : QString());
    frmMain w;
    w.show();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    // For a model choice Gierer-Meinhardt is checked before; otherwise the row's model.
    const Model before = trigger == Trigger::ModelChoice ? Model::GiererMeinhardt : model;
    if (before != Model::GiererMeinhardt)
        menuEntry(w, before)->trigger();
    if (twoD)
        gt::click(w.Option1[1]);
    gt::click(w.Random);
    // Both sets filled and set B current, so a stray intake (which makes A current) shows.
    for (std::size_t i = 0; i < w.state.uB.size(); ++i) {
        w.state.uB[i] = 0.25f + static_cast<float>(i % 7);
        w.state.vB[i] = 0.5f + static_cast<float>(i % 5);
    }
    w.state.phaseA = rd::kFalse;
    QLineEdit* bad = box == rd::kItersBox ? w.Text2
        : box == rd::kSizeBox             ? w.Text3
                                          : w.Text1[std::size_t(box)];
    std::optional<Snapshot> start;
    QString fixedText;
    int counterAtRefusal = 0;
    const auto refuse = [&] {
        start.emplace(w);
        start->s.running = rd::kFalse; // the refusal ends a run, and no step follows
        counterAtRefusal = gt::counter(w);
        // Every box of the intake gets a new valid text, so a partial apply would show.
        typeInto(w.Text2, QStringLiteral("7"));
        typeInto(w.Text3, QStringLiteral("64"));
        const char* changed[] = { "2", "4", "0.02", "2", "10", "0.2", "1.25", "0.75" }; // by field
        for (const rd::BoxInfo& b : rd::modelInfo(model).boxes)
            typeInto(w.Text1[std::size_t(rd::boxIndex(model, b.slot))], changed[int(b.field)]);
        fixedText = bad->text();
        typeInto(bad, typed);
        fire(w, trigger, model);
    };
    w.lastMessage.clear();
    if (running)
        QVERIFY(gt::driveRun(w, [&](int) {
            if (!start && gt::counter(w) >= 3)
                refuse();
        }) >= 0);
    else
        refuse();

    QCOMPARE(w.checkedModel(), model); // a refused model choice still shows in the menu
    QVERIFY(start && Snapshot(w) == *start);
    QCOMPARE(gt::counter(w), counterAtRefusal);
    QCOMPARE(w.Run->text(), QStringLiteral("Start"));
    QCOMPARE(w.lastMessage, message);
    expectShown(w, QStringLiteral("Settings not applied"), message);
    QCOMPARE(w.focusWidget(), bad);
    QCOMPARE(bad->text(), typed); // the text stays for the user to fix
    for (QLineEdit* other : w.Text1)
        QCOMPARE(other && !other->styleSheet().isEmpty(), other == bad);
    QVERIFY(!bad->styleSheet().isEmpty());

    // Fixed, the same action goes through and the mark goes away.
    typeInto(bad, fixedText);
    w.lastMessage.clear();
    if (trigger == Trigger::ModelChoice) // the checked entry is disabled: away and back
        menuEntry(w, before)->trigger();
    if (trigger == Trigger::StartOrStop)
        QVERIFY(runUntil(w, 2));
    else
        fire(w, trigger, model);
    QVERIFY2(w.lastMessage.isEmpty(), qPrintable(w.lastMessage));
    QVERIFY(bad->styleSheet().isEmpty());
    QCOMPARE(w.state.uA.size(), twoD ? std::size_t(64 * 64 + 1) : std::size_t(65));
    QCOMPARE(w.state.grayScale, 127.5f);
}

void TestRobust::stepErrorEndsRunAndGoingOnWorks_data()
{
    QTest::addColumn<Model>("model");
    QTest::addColumn<bool>("twoD");
    QTest::addColumn<QString>("badText"); // for the scaling factor, or the Oregonator's kC
    using enum Model;
    // The gains overflow after a few complete steps; with 1e10 the last complete 2D step is
    // in set A, with 1e12 in set B. Without a divisor the Oregonator fails in its first step.
    QTest::newRow("overflow 1D") << GiererMeinhardt << false << "1e10";
    QTest::newRow("overflow 2D, A complete") << GiererMeinhardt << true << "1e10";
    QTest::newRow("overflow 2D, B complete") << GiererMeinhardt << true << "1e12";
    QTest::newRow("kC = 0, 1D") << Oregonator << false << "0";
    QTest::newRow("kC = 0, 2D") << Oregonator << true << "0";
}

void TestRobust::stepErrorEndsRunAndGoingOnWorks()
{
    QFETCH(Model, model);
    QFETCH(bool, twoD);
    QFETCH(QString, badText);
    const bool oregonator = model == Model::Oregonator;
    frmMain w;
    w.show();
    QLineEdit* box = w.Text1[oregonator ? 35 : 2];
    if (oregonator)
        w.mnuOre->trigger();
    if (twoD)
        gt::click(w.Option1[1]);
    typeInto(box, badText);
    gt::click(w.Clear); // applies the setting, field at 0
    QVERIFY(w.lastMessage.isEmpty());
    for (std::size_t i = 0; i < w.state.uA.size(); i += 5) // not uniform
        w.state.uA[i] = 0.5f;
    // The spare elements beyond the last cell are no cells: a copy of B into A leaves them.
    w.state.uA.back() = w.state.vA.back() = 9.5f;
    w.state.uB.back() = w.state.vB.back() = -4.0f;

    // The same run with the engine alone says where it must fail.
    rd::SimState expected = w.state;
    const auto failure = stepUntilFailure(expected, model, !twoD, 1000);
    QVERIFY(failure);
    QCOMPARE(failure->second.kind(),
        oregonator ? rd::EngineError::Kind::DivisionByZero : rd::EngineError::Kind::Overflow);
    QVERIFY(failure->first >= (oregonator ? 1 : 2));

    QVERIFY(runUntil(w, 0)); // the error ends it
    QCOMPARE(w.state.running, rd::kFalse);
    QCOMPARE(w.Run->text(), QStringLiteral("Start"));
    const QString said = QStringLiteral("The run stopped at iteration %1: %2. The field shows "
                                        "the last complete step; change the settings and press "
                                        "Start to go on.")
                             .arg(failure->first)
                             .arg(QString::fromUtf8(failure->second.what()));
    QCOMPARE(w.lastMessage, said);
    expectShown(w, QStringLiteral("Run stopped"), said);
    // The current set is the last complete step, and it is what the field shows.
    const rd::Dimension dim = rd::dimensionOf(!twoD);
    for (const auto current : { rd::currentU, rd::currentV })
        QVERIFY(std::ranges::equal(current(w.state, dim), current(expected, dim), {}, bits, bits));
    if (twoD) {
        QCOMPARE((std::array {
                     bits(w.state.uA.back()), bits(w.state.vA.back()), bits(w.state.uB.back()) }),
            (std::array { bits(9.5f), bits(9.5f), bits(-4.0f) }));
        QCOMPARE(w.Picture3->image().convertToFormat(QImage::Format_RGB32),
            rd::renderField(rd::currentU(w.state, dim).data(), w.state.nCells, w.state.grayScale)
                .convertToFormat(QImage::Format_RGB32));
    }

    // Sane settings and Start go on from that step; a redraw period of "-0.6" (-1) is fine.
    rd::SimState sane = w.state;
    rd::applyIntake(sane,
        std::get<rd::IntakeValues>(
            rd::evaluateIntake(rd::defaultIntakeInput(model, !twoD), sane.dt, sane.dx)));
    sane.phaseA = rd::kTrue;
    std::ranges::copy(rd::currentU(w.state, dim), sane.uA.begin());
    std::ranges::copy(rd::currentV(w.state, dim), sane.vA.begin());
    QVERIFY(!stepUntilFailure(sane, model, !twoD, 4));
    typeInto(box, QStringLiteral("0.01")); // the start-up text of both
    typeInto(w.Text2, QStringLiteral("-0.6"));
    w.lastMessage.clear();
    QVERIFY(runUntil(w, 5));
    QVERIFY2(w.lastMessage.isEmpty(), qPrintable(w.lastMessage));
    QCOMPARE(gt::counter(w), 5);
    QCOMPARE(w.state.itersPerImage, -1);
    QVERIFY(sameBits(w.state.uA, sane.uA) && sameBits(w.state.vA, sane.vA));
    QVERIFY(!twoD || (sameBits(w.state.uB, sane.uB) && sameBits(w.state.vB, sane.vB)));
}

QTEST_MAIN(TestRobust)
#include "tst_Robust.moc"
