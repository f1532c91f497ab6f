#include "engine/Kinetics.h"

namespace rd {

namespace {

template <Model M>
void callChecked(const SimState& s, float uin, float vin, float& synUout, float& synVout)
{
    fp::clearFlags();
    kinetics::rates<M>(KineticsConstants::from(s), uin, vin, synUout, synVout);
}

} // namespace

void FuncGM(const SimState& s, float uin, float vin, float& synUout, float& synVout)
{
    callChecked<Model::GiererMeinhardt>(s, uin, vin, synUout, synVout);
}

void FuncSch(const SimState& s, float uin, float vin, float& synUout, float& synVout)
{
    callChecked<Model::Schnakenberg>(s, uin, vin, synUout, synVout);
}

void FuncGS(const SimState& s, float uin, float vin, float& synUout, float& synVout)
{
    callChecked<Model::GrayScott>(s, uin, vin, synUout, synVout);
}

void FuncOre(const SimState& s, float uin, float vin, float& synUout, float& synVout)
{
    callChecked<Model::Oregonator>(s, uin, vin, synUout, synVout);
}

void callModel(Model model, const SimState& s, float uin, float vin, float& synUout, float& synVout)
{
    withModel(
        model, [&](auto m) { callChecked<decltype(m)::value>(s, uin, vin, synUout, synVout); });
}

} // namespace rd
