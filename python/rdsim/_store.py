"""Fields streamed into an HDF5 file (the netCDF-4 layout, read by h5py and by xarray) rather
than held in memory. The file is written beside its target under a temporary name and renamed
into place once whole: it appears whole or not at all."""

import json
import os
import tempfile

import numpy as np


class FieldStore:
    """An HDF5 file of fields written piece by piece.

    `dims` maps each dimension to its size, in order; `coords` maps a coordinate's name to
    (dims, values); `fields` names the float32 variables over all the dimensions, which are
    chunked one field at a time over the last `field_dims` dimensions."""

    def __init__(self, path, dims, coords, fields, field_dims):
        import h5netcdf
        self.path = os.fspath(path)
        folder = os.path.dirname(os.path.abspath(self.path))
        fd, self._temporary = tempfile.mkstemp(
            dir=folder, prefix="." + os.path.basename(self.path) + ".", suffix=".tmp")
        os.close(fd)
        try:
            self._file = h5netcdf.File(self._temporary, "w")
            for name, size in dims.items():
                self._file.dimensions[name] = size
            for name, (on, values) in coords.items():
                values = np.asarray(values)
                if values.dtype.kind == "U":
                    import h5py
                    var = self._file.create_variable(name, on, dtype=h5py.string_dtype())
                    var[...] = values.astype(object)
                else:
                    self._file.create_variable(name, on, data=values)
            names = tuple(dims)
            chunks = tuple([1] * (len(names) - field_dims) + [dims[d] for d in
                                                              names[-field_dims:]])
            self._fields = {name: self._file.create_variable(name, names, dtype="f4",
                                                             chunks=chunks)
                            for name in fields}
        except BaseException:
            self.discard()
            raise
        self._coordinates = [name for name, (on, _) in coords.items() if on != (name,)]

    def put(self, name, index, field):
        """Writes one field at `index` (a tuple over the leading dimensions)."""
        self._fields[name][index] = field

    def commit(self, variables=None, attrs=None):
        """Adds the small variables ({name: (dims, values, attrs)}) and the file's attributes,
        puts the file in place and opens it with xarray, the fields read lazily."""
        try:
            for name, (on, values, var_attrs) in (variables or {}).items():
                var = self._file.create_variable(name, on, data=np.asarray(values))
                for key, value in var_attrs.items():
                    var.attrs[key] = value
            for key, value in (attrs or {}).items():
                self._file.attrs[key] = value
            if self._coordinates:
                self._file.attrs["rdsim_coordinates"] = json.dumps(self._coordinates)
            self._file.close()
            os.replace(self._temporary, self.path)
        except BaseException:
            self.discard()
            raise
        return open_store(self.path)

    def discard(self):
        """Removes the temporary file; the target is left as it was."""
        try:
            self._file.close()
        except Exception:
            pass
        try:
            os.unlink(self._temporary)
        except FileNotFoundError:
            pass


def open_store(path):
    """A file written by FieldStore as an xarray.Dataset, its fields read when used."""
    import xarray as xr
    ds = xr.open_dataset(path, engine="h5netcdf")
    names = ds.attrs.pop("rdsim_coordinates", None)
    if names:
        ds = ds.set_coords(json.loads(names))
    return ds
