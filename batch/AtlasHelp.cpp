// The help text of `rdsim-batch atlas`.
#include "batch/AtlasCommand.h"

namespace rd::batch {

std::string atlasHelpText()
{
    return R"(Usage: rdsim-batch atlas --model M --x NAME=FROM:TO:COUNT --y NAME=FROM:TO:COUNT
                         [OPTION]... --image MAP.png --csv MAP.csv
A map of the model over two of its settings. Every point is classified by the linear
stability of its uniform steady states under the simulator's own step; the point's class is
the first that applies to any of its states: numerically unstable, Turing-unstable (shaded
by the predicted wavelength), oscillatory, uniformly unstable, bistable (more than one
stable state), marginal, stable (or no uniform state at all). Saddles (a negative
determinant of the uniform Jacobian) count only when every state is one. Oscillatory is
the step's own Hopf line (forward Euler at dt = 1; for Gray-Scott about 1e-4 lower in kB
than the continuum's). These are linear-stability classes of uniform states: most of the
classic Gray-Scott patterns grow where a point is bistable or stable, which --simulate
shows and the analytic map cannot. Axes are labelled by what a setting is (Gray-Scott's
kB is k, "removal of u beyond the feed": see rdsim-batch --help). The CSV has one
row per point: the values, the class, the predicted wavelength and mode, and every state
with its class, in the columns of as many states as the model can have (Gierer-Meinhardt
5, Gray-Scott and the Oregonator 3, Schnakenberg 1), empty beyond the point's own. It is
written as the rows are classified, into a temporary file beside it that takes its name
when the map is done.

  --x, --y NAME=FROM:TO:COUNT   the settings along the axes (the names of --set but dt
                       and dx, which change every coefficient at once), COUNT evenly spaced
                       values from FROM to TO (1 to 10000 each)
  --model, --dim, --size, --set   as for a run (see rdsim-batch --help); at least 2 cells;
                       --set gives the start-up point the map marks. A typed model
                       (--model-file, a shipped model, --rate-u ...) maps over its
                       parameters and settings, its states searched for in its box
  --image FILE.png     the map: one colour per class, axes, legend, the start-up point
  --csv FILE           one row per point
  --jobs K             threads (default: every hardware thread); with --simulate, runs at
                       once. The results are the same for any K
  --quiet              no progress line on a terminal
  --progress           plain progress lines whatever standard error is (as for a run)
  --simulate           run the simulation at every point (at most 10000) instead: a mosaic
                       of the final fields of u, one tile per point, ordered like the axes
                       and framed by the run's state (converged, still changing,
                       oscillating: periodic, extinct, arithmetic error; see --report in
                       rdsim-batch --help); the CSV gives each point's state, the steps it
                       ran, measured wavelength ("inf" for a flat field) and contrast beside
                       the prediction. Of each run only its findings and its tile are kept
    --steps S          steps of every run (needed)
    --until steady     stop every run once it has settled, by the rule of a run's --until
                       steady (see rdsim-batch --help); S stays the most steps. The CSV's
                       steps column says where each run stopped, and with --image a second
                       picture beside the mosaic, MAP-steps.png, maps those steps: a run
                       that settled (converged or died out) shaded by its steps, the others
                       marked as not settled within S steps or ended by an arithmetic error
    --init zero|random|seeded, --seed K   the start of every run, as for a run
    --threads N        threads of each run's 2D step, as for a sweep (default: those left
                       over by the runs at once). Only with --simulate: the analytic map's
                       points take one thread each, spread by --jobs
    --tile PX          pixels of a tile, 8 to 512 (default 64)
    --colormap NAME    the tiles' colour table (default gray), one range for all tiles
    --shard I/K        run only part I of K of the points (those numbered I, I + K, ...,
                       row by row) and write them to MAP.part-I-of-K.json beside the CSV
                       (or the picture) instead of the map
    --merge            instead of --shard: join the K parts into the CSV and the pictures,
                       the same files bit for bit that one run without --shard writes.
                       Refused (exit 2, naming the part) when a part is missing,
                       duplicated, damaged, cannot be read (a read error too) or was
                       written by another command (all options the same and in the same
                       order, but for --shard, --merge, --jobs, --threads, --quiet and
                       --progress)
  -h, --help           this text
At least one of --image and --csv is needed. All are written together or not at all.
)";
}

} // namespace rd::batch
