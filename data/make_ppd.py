"""Writes the printer descriptions (PPD) of the supported models from the table of models, kv/models.h, so
that the descriptions, the parameter tool and the printer application cannot disagree about a model.

  python3 make_ppd.py MODELS_HEADER OUTDIR      write OUTDIR/NAME.ppd for every model (spaces as "_")

The queues they make are raw: jobs reach the printer byte for byte, as the label command library sends them.
"""

import os
import re
import sys
from typing import List, NamedTuple

_ROW = re.compile(r'\{"([^"]+)",\s*(203|300),\s*([0-9]+)\}')


class Model(NamedTuple):
    name: str         # KIRV R5
    dpi: int          # 203 or 300
    print_width: int  # dots across the print head


def read_models(header_path) -> List[Model]:
    """The rows of kModels in kv/models.h, in order."""
    with open(header_path, encoding="utf-8") as f:
        text = f.read()
    table = text[text.index("kModels[]"):]
    table = table[:table.index("};")]
    models = [Model(name, int(dpi), int(width)) for name, dpi, width in _ROW.findall(table)]
    if not models:
        raise ValueError(f"{header_path}: no models in kModels")
    return models


def file_name(model):
    return model.name.replace(" ", "_") + ".ppd"


def ppd_text(model):
    # The DOS file name: the name's letters and digits in capitals, eight at most.
    short = re.sub(r"[^A-Za-z0-9]", "", model.name).upper()[:8]
    maker = model.name.split(" ")[0]
    return "".join(line + "\n" for line in [
        '*PPD-Adobe: "4.3"',
        f"*% The printer description of the {model.name} ({model.dpi} dpi) thermal label printer for CUPS. "
        "The queue is raw:",
        "*% jobs reach the printer byte for byte, with no filter, as the label command library sends them.",
        '*FormatVersion: "4.3"',
        '*FileVersion: "2.0"',
        "*LanguageVersion: English",
        "*LanguageEncoding: ISOLatin1",
        f'*PCFileName: "{short}.PPD"',
        f'*Manufacturer: "{maker}"',
        f'*Product: "({model.name})"',
        f'*ModelName: "{model.name}"',
        f'*ShortNickName: "{model.name}"',
        f'*NickName: "{model.name}"',
        '*PSVersion: "(3010.000) 0"',
        '*LanguageLevel: "3"',
        "*ColorDevice: False",
        "*DefaultColorSpace: Gray",
        "*FileSystem: False",
        '*Throughput: "1"',
        "*TTRasterizer: Type42",
        "*cupsVersion: 2.4",
        "*cupsManualCopies: True",
        '*cupsFilter: "application/vnd.cups-raw 0 -"',
        "*OpenUI *Resolution/Resolution: PickOne",
        "*OrderDependency: 10 AnySetup *Resolution",
        f"*DefaultResolution: {model.dpi}dpi",
        f'*Resolution {model.dpi}dpi/{model.dpi} dpi: ""',
        "*CloseUI: *Resolution",
        "*OpenUI *PageSize: PickOne",
        "*OrderDependency: 10 AnySetup *PageSize",
        "*DefaultPageSize: 4x6.Fullbleed",
        '*PageSize 4x6.Fullbleed/Label 4 x 6 in: ""',
        "*CloseUI: *PageSize",
        "*OpenUI *PageRegion: PickOne",
        "*OrderDependency: 10 AnySetup *PageRegion",
        "*DefaultPageRegion: 4x6.Fullbleed",
        '*PageRegion 4x6.Fullbleed/Label 4 x 6 in: ""',
        "*CloseUI: *PageRegion",
        "*DefaultImageableArea: 4x6.Fullbleed",
        '*ImageableArea 4x6.Fullbleed/Label 4 x 6 in: "0 0 288 432"',
        "*DefaultPaperDimension: 4x6.Fullbleed",
        '*PaperDimension 4x6.Fullbleed/Label 4 x 6 in: "288 432"',
    ])


def write_all(header_path, out_dir):
    """Writes every model's description into out_dir; returns the paths written."""
    os.makedirs(out_dir, exist_ok=True)
    paths = []
    for model in read_models(header_path):
        path = os.path.join(out_dir, file_name(model))
        with open(path, "w", encoding="latin-1", newline="\n") as f:
            f.write(ppd_text(model))
        paths.append(path)
    return paths


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    write_all(sys.argv[1], sys.argv[2])
