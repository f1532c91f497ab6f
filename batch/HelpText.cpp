// The text of rdsim-batch --help.
#include "batch/Options.h"

namespace rd::batch {

std::string helpText()
{
    return R"(Usage: rdsim-batch [OPTION]...
Runs the simulator's reaction-diffusion models without a window: the same settings rules,
the same steps and the same numbers as the window, from the command line.

Model and field:
  --model NAME         gm (Gierer-Meinhardt, default), schnakenberg, gray-scott, oregonator,
                       or a shipped model file by its name (brusselator, fitzhugh-nagumo,
                       lengyel-epstein, thomas, barrio-varea-aragon-maini; rdsim-batch
                       models lists them, their parameters and sources). The shipped files
                       are found in the folder RDSIM_MODELS names, else in
                       ../share/rdsim/models from the program's folder (where cmake
                       --install puts them; the build tree has its copy there too)
  --model-file FILE    a typed model from a model file (TOML: name, rate-u, rate-v, clamp,
                       [parameters], optional [settings] and [analysis]; see the README's
                       "Your own model" and the shipped files)
  --rate-u F --rate-v G [--param NAME=VALUE]... [--no-clamp]
                       a typed model from the command line, named "custom": the rates
                       f(u, v) and g(u, v) and its parameters with their default values, in
                       order; --no-clamp lets u and v go negative (by default negative
                       results become 0 after each step, as in the built-in models)
  --dim 1|2            a line of N cells or a square of N x N cells (default 2)
  --size N             cells per side, 1 to 4096 (default 128, or that of --load-u); a
                       larger size is refused. (The window's field is at most 129 and
                       reduces a larger size.)
  --steps S            iterations to run, 0 to 1000000 (default 1000)
  --set NAME=VALUE     a model setting, as typed into its panel box; repeatable. NAME is
                       uMax, vMax (the plot ranges), scale (the scaling factor), Du, Dv,
                       kA, kB or kC (kC only for gm and oregonator), or a typed model's
                       parameter; and for every model dt, the time step, and dx, the cell
                       size (default 1 and 0.01, as the window keeps them; each greater
                       than 0). Unset ones keep the panel's (a typed model's: its file's,
                       else uMax 1, vMax 1, scale 0.01, Du 1, Dv 20) start-up texts.
Typed models: numbers, u, v, the parameters, + - * /, unary minus, whole powers u^2 (a
repeated product), parentheses, sqrt, exp, log, abs, min, max and tanh; every number rounded
to single precision and every operation done in single precision as written, left to right
at equal precedence, ^ before unary minus (-u^2 is -(u^2)). A parameter may not be named u,
v, a function, uMax, vMax, scale, Du, Dv, dt, dx or seed. They run, sweep, replay, map and
are analysed as the built-in models: their derivatives by automatic differentiation of the
compiled rates (exact, no finite differences), their uniform states in the model file's box
(else 0 <= u <= uMax, 0 <= v <= vMax) by subdivision with interval tests, so that no state,
close or touching, is missed, each polished by Newton's method.
Gray-Scott is the classic form (Pearson 1993) with other names: u is the autocatalyst (their
V), v the fed substrate (their U); kA is the feed F and kB the rate k, so that u is removed
at kA + kB (the maps label kB as k, removal of u beyond the feed); Du/Dv is their diffusion
ratio, and one step is their unit of time (scale = 1, the default). Lengths are in cells:
the step diffuses D x 1e-6 x dt / dx^2 = D / 100 a cell (dt = 1, dx = 0.01), so the Du and
Dv boxes are in units of 1e-6, and the default Du = 10, Dv = 20 are 0.1 and 0.2 cells^2 per
step (theirs, 1e-5 and 2e-5 on 256 cells of 2.5/256, are 0.105 and 0.21). --set dt=T and
--set dx=H change the step: each diffusion number D x 1e-6 x T / H^2 and the reactions'
gain scale x T are derived in double and stored in single precision, as the panel's.
Initial state:
  --init zero          all cells 0 (default)
  --init random --seed K
                       the window's Random rule from a generator seeded with K
  --init seeded --seed K
                       the model's stable uniform state (the one of least u whose uniform
                       mode decays; Gray-Scott: u = 0, v = 1) with a centred square of
                       N/6 x N/6 cells (1D: a segment of N/6 cells; at least 1) set to
                       u = 0.25, v = 0.5 for Gray-Scott, 1.5 u and 0.5 v of the state for
                       the other models; then every value times 1 + (r - 0.5)/50, r uniform
                       in [0, 1) from the generator seeded with K: +-1 % noise that leaves
                       a 0 exactly 0. Settings without such a state are refused (exit 2)
  --load-u U.npy --load-v V.npy
                       fields from NumPy files: shape (N,) or (N, N), in C or Fortran
                       order, single precision ('<f4' or '>f4') or double ('<f8' or '>f8',
                       each value rounded to the nearest single-precision value, ties to
                       even, as the record then says). Values must be finite and at least
                       0 (and within single precision). Without --size the size is u's;
                       v must have the same shape
Output (every file appears whole or not at all, and the final files of a run together or
not at all, even when two processes write the same names; an earlier file is replaced whole
or left as it was; a symbolic link is written through; a file without write permission is
kept and refused; "%%" in a name is one "%"). A run with none of --save, --image,
--kymograph, --movie, --sweep or --report is refused (exit 2, nothing to write):
  --save PREFIX        the final fields as PREFIX-u.npy and PREFIX-v.npy. With %d in the
                       PREFIX (e.g. run-%05d) the fields every --every K steps instead:
                       frame k, the state after k*K steps, as PREFIX-u.npy, PREFIX-v.npy
                       and its record PREFIX.json with k for %d (run-00003-u.npy, ...),
                       the three together or none (with --image %d its picture too)
  --image FILE         the final picture as PNG or BMP (by the extension); in 1D two files,
                       NAME-u.EXT and NAME-v.EXT. With %d in the name (e.g. frame-%05d.png)
                       a frame every --every steps: frame k shows the state after k*K steps,
                       frame 0 the initial state. Each frame is written whole as it is
                       made; frames written before an error or an interrupt are kept
  --every K            steps between frames (pictures or fields) and kymograph rows
  --kymograph FILE     1D only: u over time as one picture, a row every K steps (default 1),
                       time downwards, starting with the initial state
Every run with an output also writes its record, put in place with its final outputs:
PREFIX.json with --save PREFIX, else named after its first output without the extension
(pattern.png gives pattern.json, frames f-%05d.png f.json, run-%05d run.json; in a sweep
each run's carries its values, as its other files: PREFIX-kA=0.05.json). It holds the
program's version, the settings (every box's text and the coefficients derived from them),
the initial state (the seed, or the SHA-256 of the loaded files and, for a double-precision
file, its dtype and that its values were rounded), the steps and the SHA-256 of the final
fields and of the saved files; every PNG carries the same in its text (a frame: of the state
it shows).
--jobs and --threads change no result and are not recorded.
Pictures (2D field, frames and kymograph; the 1D profiles take only --zoom):
  --colormap NAME      gray (the window's, default), viridis, magma, inferno or cividis
  --range auto|LO:HI   the values from black (or the table's first colour) to white (its
                       last): the field's own min..max (a flat field, see --report, in the
                       first colour), or LO..HI (default: 0..uMax or 0..vMax, as the window)
  --zoom K             K x K pixels a cell, 1 to 64 (default 1)
  --species u|v        the species a 2D picture shows (default u)
  --colorbar           the colour scale beside the field, marked at round values (1, 2 or 5
                       times a power of ten apart, as many as fit, up to 6)
  --annotate           the model, step and time under the field
  --movie FILE         2D: a movie of the frames of --every K (the pictures --image with %d
                       would write), as .mp4 (H.264), .webm (VP9), .gif or .apng (lossless);
                       made by the ffmpeg program, which must be installed, and put in place
                       with the run's final outputs
  --fps N              the movie's frames a second, 1 to 240 (default 10)
  A picture, a frame or a kymograph larger than 2^28 pixels (16384 x 16384) or 1000000 a
  side, colour bar and caption included, and a movie whose frames ffmpeg cannot take (more
  than 16384 a side in mp4 and webm, 65535 in gif, or (width + 128) x (height + 128) of
  2^28 - 1 or more) are refused before the run (exit 2), saying how large they would be. A
  picture or movie that fails after the run all the same costs only itself: the fields and
  the record are written, and the message names what failed (exit 5 or 4)
The run against the analysis (see rdsim-batch analyze):
  --report             at the end, print to standard output the run's state, the step it
                       ended at, the wavelength the linear analysis predicts and the
                       dominant wavelength and contrast (max - min) of the final field of u.
                       Needs at least 2 cells. u is checked every 100 steps, and the run
                       has converged when in 5 checks in a row no cell of u changed by more
                       than 1e-7 x uMax per step, and is extinct when every cell is below
                       1e-6 x uMax; it is oscillating when the mean of u is periodic over
                       its last 256 checks: swings that repeat one period on (correlation
                       0.8 or more, over 3 periods or 24 checks at least) and stand out from
                       its trend, which a growing pattern whose mean rises with a few
                       reversals does not; else it is still changing. The prediction is
                       about the uniform states that give the settings their class by the
                       maps' rule, saddles aside (atlas --help): when several do (two stable
                       states of a bistable point), or the run ended at another, the report
                       names the one its final means of u and v lie nearest to.
                       A field is flat and has no wavelength (inf in the CSV) when its
                       contrast (max - min) is at most 1024 ulps of its largest |u| (for a
                       run, the largest over its last 256 checks): about 6e-5 to 1.2e-4
                       of that value, ten times the rounding spread of settled uniform
                       fields. --range auto draws such a field flat, in one colour, and
                       its colour bar says so
  --until steady       stop once the run has converged and does not oscillate (a field that
                       died out stops likewise). --steps stays the most steps; the final
                       outputs are those of the step it stopped at
Sweeps:
  --sweep NAME=FROM:TO:COUNT
                       COUNT evenly spaced values from FROM to TO; repeatable, every
                       combination is run. NAME is a setting, or seed: the seeds of
                       --init random or seeded, whole numbers (seed=1:20:20 is 1, 2, ...,
                       20), for an ensemble alone or with settings. Each combination's
                       files carry its values in their names (PREFIX-kA=0.05-u.npy,
                       PREFIX-seed=3-u.npy); NAME-sweep.csv lists them all,
                       with each run's status, the state it ended in, its steps, the
                       predicted and measured wavelengths and the contrast of u (as
                       --report; empty where there is none, "inf" for a flat field's
                       wavelength). It is named after the first of
                       --save, --image, --kymograph (without its extension and %d) and
                       placed beside it.
                       Values between FROM and TO are given to 15 digits
  --jobs N             runs at once in a sweep (default and most: the number of hardware
                       threads, so that a sweep holds at most that many states at once)
  --shard I/K          run only part I of K of the combinations (those numbered I, I + K,
                       I + 2K, ... in the CSV), 1 <= I <= K <= 100000: each its own
                       files, and instead of the CSV a part beside it,
                       NAME-sweep.part-I-of-K.json. Run K such commands, alike but for I
                       (e.g. the tasks of a cluster's job array), then the same with:
  --merge              instead of --shard: join the K parts into NAME-sweep.csv, the same
                       file bit for bit that one run without --shard writes. Refused (exit
                       2, naming the part, nothing written) when a part is missing,
                       duplicated, damaged (cut short, or its rows changed since it was
                       written), cannot be read (a read error too: run its shard again or
                       mend the disk, then merge) or is not a regular file, or was written
                       by a different command: the options must be the same, in the same
                       order, but for --shard, --merge, --jobs, --threads, --quiet and
                       --progress. The merge runs nothing and prints no --report
Threads:
  --threads T          threads of each 2D step, 1 to 256, each computing a band of rows;
                       the results are the same bit for bit for every T. Default: every
                       hardware thread from N = 256 on, 1 below. A single run uses T as
                       given. A sweep first runs whole combinations side by side (--jobs,
                       by default the hardware threads, or the hardware threads / T with
                       --threads T, and never more than the combinations) and gives each
                       run the threads left over: jobs x threads never exceeds the hardware
                       threads. 1D runs step on one thread and ignore --threads
Other:
  models               (as the first argument) lists the shipped model files: their rates,
                       parameters, settings and sources; see rdsim-batch models --help
  analyze ...          (as the first argument) the linear stability of the model's uniform
                       states instead of a run; see rdsim-batch analyze --help
  atlas ...            (as the first argument) a map over two settings: every point
                       classified by the analysis, or (--simulate) a mosaic of final
                       fields; see rdsim-batch atlas --help
  replay FILE          (as the first argument) runs again the run that FILE, a record or
                       a PNG the tool wrote, describes, and checks that it gives the
                       recorded fields bit for bit. It prints "reproduced bit for bit", or
                       what differs (the first differing cell against a saved .npy file,
                       or a file that changed since) with exit status 1 or 6 (replay --help)
  --quiet              no progress line (one is shown only when standard error is a terminal)
  --progress           a plain progress line on standard error whatever it is (a file, a
                       pipe, a cluster job's log): one at the start, one every 5 seconds
                       and one at the end, each a whole line with the seconds elapsed
  -h, --help           this text
  --version            the program's version

Exit status: 0 success, 2 bad arguments or settings (nothing written), 3 an arithmetic error
in a step (no final outputs; frames written before it are kept and named in the message),
4 an output file could not be written, 5 out of memory. A sweep runs every combination and
then exits with the highest of these its runs gave; NAME-sweep.csv says which.
SIGINT, SIGTERM and SIGHUP stop at the next step: temporary files are removed, finished
outputs kept (a sweep still writes its CSV, unfinished runs marked "interrupted"), and the
program ends by the signal.

Example:
  rdsim-batch --model gray-scott --dim 2 --init random --seed 1 --steps 10000 --image gs.png
  rdsim-batch --init random --seed 1 --steps 3000 --image gm.png --colormap viridis \
      --range auto --zoom 4 --colorbar --annotate
)";
}

} // namespace rd::batch
