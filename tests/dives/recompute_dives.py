#!/usr/bin/env python3
# Runs vandrel-tdr --dives on the bundled example with the default and with
# other settings, recomputes each dive table from the text TDR table and
# compares the bytes.
#   recompute_dives.py VANDREL_TDR SAMPLE
# The text table shows no run boundaries, so runs are found from the rows: a
# HAULOUT line, another line that is no row, or a change of the time step
# starts a new run, and a run just before a HAULOUT line whose depths are all
# 0.0 is the dry run of the haul-out (it has no depth channel). Times are
# printed to the second, so a run's step is the time its rows span divided by
# their count less one, to the hundredth of a second: exact for steps of
# whole seconds, such as those of the bundled example.
import calendar, itertools, math, os, subprocess, sys, tempfile, time


def decimetres(text):  # halves away from zero
    v = float(text) * 10
    r = math.floor(abs(v))
    return int(math.copysign(r + (abs(v) - r >= 0.5), v))


def runs(lines):
    temp = lines[0].split('\t')[2:3] == ['TEMP (C)']
    run, out = [], []
    for line in lines[1:] + ['']:
        f = line.split('\t')
        if not f[0][:1].isdigit():
            if run and not (line.startswith('HAULOUT:') and all(r[1] == 0 for r in run)):
                out.append(run)
            run = []
            continue
        t = calendar.timegm(time.strptime(f[0], '%Y/%m/%d %H:%M:%S'))
        if run and (t <= run[-1][0] or len(run) > 1 and t - run[-1][0] != run[1][0] - run[0][0]):
            out, run = out + [run], []
        run.append((t, round(float(f[1]) * 10), round((float(f[2]) + 273.15) / 0.05) * 0.05 - 273.15 if temp else None, f[0]))
    return out


def rate(depth, seconds):
    return '%.3f' % (depth * 0.1 / seconds) if seconds else 'NA'


def dive_lines(all_runs, threshold, zero):
    lines, dt = [], 0.0
    for run in all_runs:
        if len(run) > 1:
            dt = round((run[-1][0] - run[0][0]) * 100 / (len(run) - 1)) * 0.01
        d = [r[1] - zero for r in run]
        groups = itertools.groupby(range(len(d)), lambda k: d[k] > threshold)
        found = [(g[0], g[-1]) for g in (list(g) for deep, g in groups if deep)]
        for n, (i, j) in enumerate(found):
            m = max(d[i:j + 1])
            bottom = [k for k in range(i, j + 1) if 100 * d[k] >= 85 * m]
            k1, k2 = bottom[0], bottom[-1]
            temps = [r[2] for r in run[i:j + 1]]
            lines.append([run[i][3], run[j][3], '%.2f' % ((j - i + 1) * dt), '%.1f' % (m * 0.1),
                          run[d.index(m, i)][3], '%.2f' % ((k2 - k1 + 1) * dt),
                          '%.2f' % (sum(d[k1:k2 + 1]) * 0.1 / (k2 - k1 + 1)),
                          '%.2f' % ((k1 - i) * dt), rate(d[k1] - d[i], (k1 - i) * dt),
                          '%.2f' % ((j - k2) * dt), rate(d[k2] - d[j], (j - k2) * dt),
                          'NA' if temps[0] is None else '%.2f' % (sum(temps) / len(temps)),
                          '%.2f' % ((found[n + 1][0] - j - 1) * dt) if n + 1 < len(found) else 'NA',
                          'N' if i == 0 or j == len(d) - 1 else 'Y'])
    return ['%d\t%s' % (n + 1, '\t'.join(f)) for n, f in enumerate(lines)]


def main(tool, sample):
    failed = []
    with tempfile.TemporaryDirectory() as folder:
        out = os.path.join(folder, 's')
        for settings in [[], ['50', '-0.35'], ['0.05', '0.3'], ['0', '-1']]:
            options = sum(([o, v] for o, v in zip(['--dive-threshold', '--zero-offset'], settings)), [])
            subprocess.run([tool, '--quiet', '--dives'] + options + ['--output', out, sample], check=True)
            with open(out + '_tdr.txt', newline='') as f:
                tdr = f.read().split('\r\n')[:-1]
            with open(out + '_dives.txt', 'rb') as f:
                got = f.read().decode().split('\r\n')
            threshold, zero = [decimetres(a) for a in settings + ['4', '0'][len(settings):]]
            want = ['DIVE\tSTART (UTC)\tEND (UTC)\tDURATION (s)\tMAX_DEPTH (m)\tMAX_DEPTH_TIME (UTC)\tBOTTOM_TIME (s)'
                    '\tBOTTOM_DEPTH_MEAN (m)\tDESCENT_TIME (s)\tDESCENT_RATE (m/s)\tASCENT_TIME (s)\tASCENT_RATE (m/s)'
                    '\tTEMP_MEAN (C)\tPOSTDIVE (s)\tCOMPLETE'] + dive_lines(runs(tdr), threshold, zero) + ['']
            diff = next(((n, a, b) for n, (a, b) in enumerate(itertools.zip_longest(want, got), 1) if a != b), None)
            print(settings, 'line %d differs:\n  expected %r\n  got      %r' % diff if diff else
                  '%d dives match' % (len(want) - 2))
            failed += [settings] if diff else []
    sys.exit('tables differ with the settings %s' % failed if failed else 0)


if __name__ == '__main__':
    main(*sys.argv[1:])
