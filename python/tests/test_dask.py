"""The word list and concordance over shards with Dask must equal one process over the same shards."""

import logging

import pandas as pd
import pytest

distributed = pytest.importorskip("distributed")

import kx8  # noqa: E402
import kx8.dask  # noqa: E402


@pytest.fixture
def shard_folder(tmp_path):
    """Four shards: three files and a folder of texts; one word's case differs between shards."""
    root = tmp_path / "shards"
    (root / "s3").mkdir(parents=True)
    (root / "s0.txt").write_text("Bank river bank. The bank of England.\n" * 30)
    (root / "s1.txt").write_text("BANK holiday, the banks are closed; river Thames.\n" * 20)
    (root / "s2.txt").write_text("nothing here but words\n")
    (root / "s3" / "x.txt").write_text("a bank\u2019s vault and a bank.\n" * 10)
    (root / "s3" / "y.txt").write_text("\U0001F600 bank emoji\n")
    (root / ".hidden").write_text("bank bank bank\n")  # not a shard
    return root


@pytest.fixture(scope="module")
def client():
    # Processes, as on many machines; the library's own threads make threads-only workers
    # an equally valid choice where a sandbox refuses to start processes.
    cluster = distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                                       dashboard_address=None, silence_logs=logging.ERROR)
    with distributed.Client(cluster) as c:
        yield c
    cluster.close()


def test_shards_are_the_folders_entries_in_order(shard_folder):
    assert [p.rsplit("/", 1)[1] for p in kx8.dask.shards(shard_folder)] == ["s0.txt", "s1.txt", "s2.txt", "s3"]
    with pytest.raises(NotADirectoryError):
        kx8.dask.shards(shard_folder / "s0.txt")


@pytest.mark.parametrize("order", ["frequency", "alpha"])
def test_dask_word_list_equals_one_process(client, shard_folder, order):
    parts = kx8.dask.shards(shard_folder)
    single = kx8.wordlist(parts, recurse=True, order=order)
    spread = kx8.dask.wordlist(shard_folder, client=client, recurse=True, order=order)
    pd.testing.assert_frame_equal(spread, single)
    assert spread.attrs["tokens"] == single.attrs["tokens"]
    assert dict(zip(spread.word, spread.freq))["Bank"] == 30 * 3 + 20 + 10 + 1  # the first shard's form; "bank’s" is a word of its own


@pytest.mark.parametrize("options", [{}, {"max_hits": 70}, {"case_sensitive": True, "context": 10}])
def test_dask_concordance_equals_one_process(client, shard_folder, options):
    parts = kx8.dask.shards(shard_folder)
    single = kx8.concord("bank*", parts, recurse=True, **options)
    spread = kx8.dask.concord("bank*", shard_folder, client=client, recurse=True, **options)
    pd.testing.assert_frame_equal(spread, single)
    assert spread.attrs["hits"] == len(single) > 0


def test_library_errors_reach_the_caller(client, shard_folder):
    with pytest.raises(kx8.Kx8Error, match="nothing to search for"):
        kx8.dask.concord("*", shard_folder, client=client)


def test_default_scheduler_without_a_client(shard_folder):
    parts = kx8.dask.shards(shard_folder)
    pd.testing.assert_frame_equal(kx8.dask.wordlist(parts, recurse=True), kx8.wordlist(parts, recurse=True))
